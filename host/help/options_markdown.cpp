#include "options_markdown.h"

#include <cctype>
#include <ostream>
#include <string>
#include <string_view>

namespace quendrix::host {
namespace {

// Text that Markdown takes literally: every ASCII punctuation character
// may be escaped with a backslash, so each one is.
std::string EscapedMarkdown(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    if (std::ispunct(static_cast<unsigned char>(c))) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string ValueText(const CommandLineValue& value) {
  std::string text = "*" + EscapedMarkdown(value.name) + "*";
  if (value.repeats) text += "\\.\\.\\.";
  return text;
}

std::string UsageLine(const std::string& program,
                      const CommandLineCommand& command) {
  std::string usage = program + " " + command.name;
  for (const CommandLineValue& argument : command.arguments) {
    std::string word = argument.name + (argument.repeats ? "..." : "");
    usage += " " + (argument.required ? word : "[" + word + "]");
  }
  if (command.readsItsOwnArguments) usage += " ...";
  return EscapedMarkdown(usage);
}

// A help flag is taken by every command; the program's own entry says so,
// and the commands leave theirs out.
bool IsHelpFlag(const CommandLineOption& option) {
  for (const std::string& name : option.names) {
    if (name == "--help") return true;
  }
  return false;
}

void WriteDefinition(const std::string& term, const std::string& description,
                     std::ostream& out) {
  out << term << "\n:   " << EscapedMarkdown(description) << "\n\n";
}

void WriteOptionDefinitions(const CommandLineCommand& command, bool withHelp,
                            std::ostream& out) {
  for (const CommandLineOption& option : command.options) {
    if (!withHelp && IsHelpFlag(option)) continue;
    std::string term;
    for (const std::string& name : option.names) {
      term += (term.empty() ? "**" : ", **") + EscapedMarkdown(name) + "**";
    }
    if (option.value) term += " " + ValueText(*option.value);
    std::string description = option.description;
    if (IsHelpFlag(option)) {
      description += " (also after a command, for the command's own help)";
    }
    WriteDefinition(term, description, out);
  }
}

}  // namespace

void WriteOptionsMarkdown(const CommandLine& commandLine, std::ostream& out) {
  WriteOptionDefinitions(commandLine.main, true, out);
  for (const CommandLineCommand& command : commandLine.commands) {
    out << "## " << UsageLine(commandLine.program, command) << "\n\n"
        << EscapedMarkdown(command.description) << "\n\n";
    for (const CommandLineValue& argument : command.arguments) {
      WriteDefinition(ValueText(argument), argument.description, out);
    }
    WriteOptionDefinitions(command, false, out);
  }
}

}  // namespace quendrix::host
