#include "bash_completion.h"

#include <ostream>
#include <string>
#include <string_view>

namespace quendrix::host {
namespace {

// A word for bash in single quotes, whatever it holds.
std::string QuotedForBash(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string_view CompletionKindWord(ValueKind kind) {
  switch (kind) {
    case ValueKind::kFile:
      return "file";
    case ValueKind::kFolder:
      return "folder";
    case ValueKind::kOther:
      break;
  }
  return "none";
}

void WriteOptionWords(const CommandLineCommand& command, std::ostream& out) {
  std::string words;
  for (const CommandLineOption& option : command.options) {
    for (const std::string& name : option.names) {
      words += (words.empty() ? "" : " ") + name;
    }
  }
  out << "    [" << QuotedForBash(command.name + "/")
      << "]=" << QuotedForBash(words) << "\n";
}

void WriteOptionValues(const CommandLineCommand& command, std::ostream& out) {
  for (const CommandLineOption& option : command.options) {
    if (!option.value) continue;
    for (const std::string& name : option.names) {
      out << "    [" << QuotedForBash(command.name + "/" + name)
          << "]=" << CompletionKindWord(option.value->kind) << "\n";
    }
  }
}

// The kinds of a command's arguments in order; the last one stands for all
// further arguments when it repeats, and "none" ends them otherwise.
void WriteArgumentKinds(const CommandLineCommand& command, std::ostream& out) {
  std::string kinds;
  for (const CommandLineValue& argument : command.arguments) {
    kinds += (kinds.empty() ? "" : " ") +
             std::string(CompletionKindWord(argument.kind));
  }
  if (command.readsItsOwnArguments) {
    kinds += kinds.empty() ? "file" : " file";
  } else if (command.arguments.empty() || !command.arguments.back().repeats) {
    kinds += kinds.empty() ? "none" : " none";
  }
  out << "    [" << QuotedForBash(command.name + "/")
      << "]=" << QuotedForBash(kinds) << "\n";
}

}  // namespace

void WriteBashCompletion(const CommandLine& commandLine, std::ostream& out) {
  const std::string& program = commandLine.program;
  std::string commands;
  for (const CommandLineCommand& command : commandLine.commands) {
    if (command.name.find(' ') != std::string::npos) continue;  // a command's own
    commands += (commands.empty() ? "" : " ") + command.name;
  }
  out << "# bash completion for " << program
      << ": its commands, the options of each, and files or folders where\n"
         "# they take one. Written by `"
      << program
      << " --completion bash` from the command line that\n"
         "# it reads itself; load it with `source <("
      << program << " --completion bash)`.\n"
      << "_" << program << "() {\n"
      << "  local commands=" << QuotedForBash(commands) << "\n"
      << "  # The commands of each command that has commands of its own.\n"
      << "  local -A subcommands=(\n";
  for (const CommandLineCommand& command : commandLine.commands) {
    if (command.subcommands.empty()) continue;
    std::string words;
    for (const std::string& word : command.subcommands) {
      words += (words.empty() ? "" : " ") + word;
    }
    out << "    [" << QuotedForBash(command.name) << "]=" << QuotedForBash(words) << "\n";
  }
  out << "  )\n"
      << "  # The options of each COMMAND/; \"/\" holds those before a "
         "command.\n"
      << "  local -A options=(\n";
  WriteOptionWords(commandLine.main, out);
  for (const CommandLineCommand& command : commandLine.commands) {
    WriteOptionWords(command, out);
  }
  out << "  )\n"
      << "  # COMMAND/OPTION for each option that takes a value, and what the "
         "value is.\n"
      << "  local -A values=(\n";
  WriteOptionValues(commandLine.main, out);
  for (const CommandLineCommand& command : commandLine.commands) {
    WriteOptionValues(command, out);
  }
  out << "  )\n"
      << "  # What each command's arguments are, in order.\n"
      << "  local -A arguments=(\n";
  for (const CommandLineCommand& command : commandLine.commands) {
    WriteArgumentKinds(command, out);
  }
  out << "  )\n";
  // The words before the cursor give the command and how many of its
  // arguments are written; an option's value is neither.
  out << R"(  local cur=${COMP_WORDS[COMP_CWORD]} command="" word i position=0
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ -n ${values["$command/$word"]+set} ]]; then
      i=$((i + 1))
    elif [[ $word == -* ]]; then
      :
    elif [[ -z $command ]]; then
      command=$word
    elif ((position == 0)) && [[ " ${subcommands["$command"]-} " == *" $word "* ]]; then
      command="$command $word"
    else
      position=$((position + 1))
    fi
  done
  COMPREPLY=()
  local kind prev=${COMP_WORDS[COMP_CWORD - 1]}
  if ((COMP_CWORD > 1)) && [[ -n ${values["$command/$prev"]+set} ]]; then
    kind=${values["$command/$prev"]}
  elif [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "${options["$command/"]-}" -- "$cur")
    return 0
  elif [[ -z $command ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
    return 0
  elif ((position == 0)) && [[ -n ${subcommands["$command"]+set} ]]; then
    mapfile -t COMPREPLY < <(compgen -W "${subcommands["$command"]}" -- "$cur")
    return 0
  else
    local -a kinds
    read -r -a kinds <<<"${arguments["$command/"]-none}"
    if ((position < ${#kinds[@]})); then
      kind=${kinds[position]}
    else
      kind=${kinds[${#kinds[@]} - 1]}
    fi
  fi
  case $kind in
    file)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
    folder)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
  esac
  return 0
}
)";
  out << "complete -F _" << program << " " << program << "\n";
}

}  // namespace quendrix::host
