#include "command_line.h"

#include <CLI/CLI.hpp>

namespace quendrix::host {
namespace {

// CLI11 names a value by its type and the checks on it ("FLOAT:POSITIVE");
// the first part is the name a user reads.
std::string ValueNameOf(const CLI::Option& option) {
  const std::string typeName = option.get_type_name();
  return typeName.substr(0, typeName.find(':'));
}

CommandLineCommand DescribeOneCommand(const CLI::App& app) {
  CommandLineCommand command;
  command.name = app.get_name();
  command.description = app.get_description();
  command.readsItsOwnArguments = app.get_prefix_command();
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_group().empty()) continue;  // hidden
    if (!option->nonpositional()) {
      CommandLineValue argument;
      argument.name = option->get_name(true);
      argument.kind = KindOfValue(argument.name);
      argument.required = option->get_required();
      argument.repeats = option->get_items_expected_max() > 1;
      argument.description = option->get_description();
      command.arguments.push_back(argument);
      continue;
    }
    CommandLineOption described;
    for (const std::string& name : option->get_snames()) {
      described.names.push_back("-" + name);
    }
    for (const std::string& name : option->get_lnames()) {
      described.names.push_back("--" + name);
    }
    if (option->get_items_expected_max() > 0) {
      CommandLineValue value;
      value.name = ValueNameOf(*option);
      value.kind = KindOfValue(value.name);
      value.required = true;
      described.value = value;
    }
    described.description = option->get_description();
    command.options.push_back(described);
  }
  return command;
}

}  // namespace

ValueKind KindOfValue(const std::string& name) {
  if (name == "FILE" || name == "SOURCE" || name == "PATH") {
    return ValueKind::kFile;
  }
  if (name == "DIR" || name == "MOUNTPOINT") return ValueKind::kFolder;
  return ValueKind::kOther;
}

CommandLine DescribeCommandLine(const CLI::App& app) {
  CommandLine commandLine;
  commandLine.program = app.get_name();
  commandLine.main = DescribeOneCommand(app);
  commandLine.main.name.clear();
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (sub->get_group().empty()) continue;  // hidden
    commandLine.commands.push_back(DescribeOneCommand(*sub));
    const std::size_t parent = commandLine.commands.size() - 1;
    for (const CLI::App* own : sub->get_subcommands({})) {
      if (own->get_group().empty()) continue;
      CommandLineCommand described = DescribeOneCommand(*own);
      commandLine.commands[parent].subcommands.push_back(described.name);
      described.name = sub->get_name() + " " + described.name;
      commandLine.commands.push_back(std::move(described));
    }
  }
  return commandLine;
}

}  // namespace quendrix::host
