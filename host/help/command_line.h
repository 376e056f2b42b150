// The commands, options and arguments of the host as plain records, read
// from its command-line parser, for the completion script and the manual.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace quendrix::host {

// What a shell can offer for a value: a path, a folder, or nothing (a
// number, a member name).
enum class ValueKind { kFile, kFolder, kOther };

// The value an option takes, or an argument of a command.
struct CommandLineValue {
  std::string name;  // as --help shows it: FILE, DIR, SECONDS
  ValueKind kind = ValueKind::kOther;
  bool required = false;
  bool repeats = false;  // FILE... takes one or more
  std::string description;  // of an argument; an option's is the option's
};

struct CommandLineOption {
  std::vector<std::string> names;  // with their dashes: "-C", "--directory"
  std::optional<CommandLineValue> value;  // none for a flag
  std::string description;
};

struct CommandLineCommand {
  // Empty for the program itself; a command of a command is named with
  // both words ("cache clear").
  std::string name;
  std::string description;
  std::vector<CommandLineOption> options;
  std::vector<CommandLineValue> arguments;  // in order
  // Everything after the command is its own, read by the command itself
  // (mc's verbs): the parser knows no arguments of it.
  bool readsItsOwnArguments = false;
  // The commands this one has of its own, by their last word ("clear").
  std::vector<std::string> subcommands;
};

struct CommandLine {
  std::string program;
  CommandLineCommand main;  // the options given before a command
  // Each command, followed by the commands of its own.
  std::vector<CommandLineCommand> commands;
};

// Reads every command, option and argument that --help shows, and the
// commands of a command; hidden ones (an empty group) are left out.
CommandLine DescribeCommandLine(const CLI::App& app);

// How a value is completed, by its name: FILE, SOURCE and PATH are paths,
// DIR and MOUNTPOINT folders, anything else (SECONDS, MEMBER) is left to
// the user.
ValueKind KindOfValue(const std::string& name);

}  // namespace quendrix::host
