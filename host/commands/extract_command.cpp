#include "commands/extract_command.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "client/archive_session.h"
#include "client/member_watch.h"
#include "members/member_path.h"
#include "members/member_pattern.h"
#include "text/progress.h"
#include "text/utf8_path.h"

namespace quendrix::host {
namespace {

namespace fs = std::filesystem;

struct Tally {
  std::size_t made = 0;
  std::size_t notMade = 0;
  std::size_t failed = 0;
  std::size_t kept = 0;
  std::size_t timedOut = 0;
  std::size_t cancelled = 0;
};

std::string SecondsText(std::chrono::milliseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", static_cast<double>(duration.count()) / 1000);
  return text;
}

// For each member in list order, whether the patterns select it; every
// member is selected when there are none. Reports each pattern that selects
// nothing.
std::vector<bool> SelectMembers(const std::vector<MemberHeader>& members,
                                const std::vector<std::string>& patterns,
                                const std::string& file, std::ostream& err,
                                bool& unmatched) {
  std::vector<bool> selected(members.size(), patterns.empty());
  for (const std::string& pattern : patterns) {
    bool any = false;
    for (std::size_t i = 0; i < members.size(); ++i) {
      if (MatchesPattern(pattern, members[i].name, platform::kPathStyle)) {
        selected[i] = true;
        any = true;
      }
    }
    if (!any) {
      err << "quendrix: " << file << ": no member matches " << pattern << "\n";
      unmatched = true;
    }
  }
  return selected;
}

// Makes room for the member at `destination`; the reason when it cannot be
// extracted there.
std::optional<std::string> PrepareDestination(const fs::path& destination,
                                              bool overwrite, bool& kept) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(destination, error);
  if (fs::exists(status)) {
    if (!overwrite) {
      kept = true;
      return "exists; not overwritten (use --overwrite)";
    }
    if (fs::is_directory(status)) return "a directory of that name exists";
    // The file goes first, so that afterwards its presence shows that the
    // member's program made it.
    if (!fs::remove(destination, error)) {
      return "cannot replace the existing file: " + error.message();
    }
  }
  fs::create_directories(destination.parent_path(), error);
  if (error) return "cannot make its directory: " + error.message();
  return std::nullopt;
}

}  // namespace

int ExtractMembers(const PluginClient& plugin, const ExtractRequest& request,
                   std::ostream& out, std::ostream& err) {
  const std::string& file = request.file;
  int refusal = kExitDone;
  const std::optional<Listing> listing = ListArchiveTelling(plugin, file, err, refusal);
  if (!listing) return refusal;
  if (!listing->fault.empty()) {
    err << "quendrix: " << file << ": " << listing->fault
        << "; nothing extracted\n";
    return kExitMemberFailed;
  }
  const std::vector<MemberHeader>& members = listing->members;
  bool unmatched = false;
  const std::vector<bool> selected =
      SelectMembers(members, request.patterns, file, err, unmatched);
  std::size_t total = 0;
  for (const bool s : selected) total += s ? 1 : 0;
  if (total == 0) {
    if (members.empty()) out << "no members\n";
    return unmatched ? kExitMemberFailed : kExitDone;
  }

  std::error_code fsError;
  const fs::path directory = fs::absolute(
      request.directory.empty() ? fs::path(".") : PathOf(request.directory),
      fsError);
  fs::create_directories(directory, fsError);
  if (fsError || !fs::is_directory(directory)) {
    err << "quendrix: cannot use " << TextOf(directory)
        << " as the destination directory\n";
    return kExitRefused;
  }

  std::string error;
  std::int32_t openResult = 0;
  std::optional<ArchiveSession> archive =
      ArchiveSession::Open(plugin, file, PK_OM_EXTRACT, error, &openResult);
  if (!archive) {
    err << "quendrix: " << file << ": " << error << "\n";
    return RefusalExitCode(openResult);
  }

  archive->WatchProgress(&MemberWatch::Report);
  MemberWatch& watch = MemberWatch::Instance();
  bool interrupted = false;
  Tally tally;
  std::size_t number = 0;  // of the selected members reached so far
  std::string fault;
  Progress progress(err, request.progress, total);
  const auto report = [&](const char* outcome, const std::string& name,
                          const std::string& detail) {
    progress.Clear();
    // A reason of several lines (a program's last messages) goes on below
    // the member's line, as far in as its name.
    std::string shown;
    for (const char c : detail) {
      shown += c;
      if (c == '\n') shown.append(std::strlen(outcome), ' ');
    }
    out << outcome << name << (shown.empty() ? "" : ": " + shown) << "\n";
  };

  std::size_t index = 0;
  for (;; ++index) {
    MemberHeader header;
    const int result = archive->ReadHeader(header);
    if (result == E_END_ARCHIVE) break;
    if (result != 0) {
      fault = "the plug-in could not read member " + std::to_string(index + 1) +
              ": " + ResultCodeText(result) + " (code " +
              std::to_string(result) + ")";
      break;
    }
    // The extraction follows the listing; any other header means the list
    // changed underneath, and a plug-in that starts over after each member
    // would otherwise be asked for the same members for ever.
    if (index >= members.size() || header.name != members[index].name) {
      fault = "the plug-in's list changed during the extraction: member " +
              std::to_string(index + 1) + " is now " + header.name +
              (index < members.size() ? ", was " + members[index].name
                                      : ", past the end of the list") +
              " (does it start its list over after each member?); stopped";
      break;
    }
    if (!selected[index]) {
      archive->Process(PK_SKIP, {});
      continue;
    }

    // A Ctrl+C between two members: the next one never starts.
    if (watch.Interrupted()) {
      interrupted = true;
      break;
    }
    ++number;
    const std::optional<std::string> relative =
        RelativeMemberPath(header.name, platform::kPathStyle);
    if (!relative) {
      archive->Process(PK_SKIP, {});
      report("failed    ", header.name,
             "the name leads outside the destination directory");
      ++tally.failed;
      continue;
    }
    const fs::path destination = (directory / PathOf(*relative)).make_preferred();
    bool kept = false;
    if (const auto refusal =
            PrepareDestination(destination, request.overwrite, kept)) {
      archive->Process(PK_SKIP, {});
      report(kept ? "kept      " : "failed    ", header.name, *refusal);
      ++(kept ? tally.kept : tally.failed);
      continue;
    }

    progress.Show(number, header.name);
    watch.Begin(request.timeout,
                [&progress](std::int64_t bytes) { progress.ShowBytes(bytes); });
    const int code = archive->Process(PK_EXTRACT, TextOf(destination));
    watch.End();
    if (code == E_EABORTED && watch.stopReason() == StopReason::kInterrupted) {
      report("cancelled ", header.name, "stopped by Ctrl+C");
      ++tally.cancelled;
      interrupted = true;
      break;
    }
    if (code == E_EABORTED && watch.stopReason() == StopReason::kTimedOut) {
      report("timed out ", header.name,
             "its program ran longer than " + SecondsText(request.timeout) +
                 " and was stopped");
      ++tally.timedOut;
      continue;
    }
    if (code != 0) {
      report("failed    ", header.name, archive->FailureReason(code));
      ++tally.failed;
    } else if (fs::exists(fs::symlink_status(destination, fsError))) {
      report("made      ", header.name, "");
      ++tally.made;
    } else {
      report("not made  ", header.name,
             "the member's program left no file at " + TextOf(destination));
      ++tally.notMade;
    }
    // A plug-in that finished the member although asked to stop.
    if (watch.stopReason() == StopReason::kInterrupted) {
      interrupted = true;
      break;
    }
  }
  progress.Clear();
  archive.reset();

  const std::size_t reached = tally.made + tally.notMade + tally.failed +
                              tally.kept + tally.timedOut + tally.cancelled;
  if (fault.empty() && !interrupted && reached < total) {
    fault = "the plug-in's list ended after " + std::to_string(index) +
            " of " + std::to_string(members.size()) + " members";
  }
  if (!fault.empty()) err << "quendrix: " << file << ": " << fault << "\n";
  const std::size_t missed = total - reached;
  out << total << (total == 1 ? " member: " : " members: ") << tally.made
      << " made, " << tally.notMade << " not made, " << tally.failed
      << " failed, " << tally.kept << " kept";
  if (tally.timedOut > 0) out << ", " << tally.timedOut << " timed out";
  if (tally.cancelled > 0) out << ", " << tally.cancelled << " cancelled";
  if (missed > 0) out << ", " << missed << " not reached";
  out << "\n";
  if (interrupted) {
    err << "quendrix: interrupted\n";
    return kExitInterrupted;
  }
  const bool clean = tally.failed == 0 && tally.kept == 0 &&
                     tally.timedOut == 0 && missed == 0 && fault.empty() &&
                     !unmatched;
  return clean ? kExitDone : kExitMemberFailed;
}

namespace {

class ExtractVerb final : public HostCommand {
 public:
  CLI::App* AddTo(CLI::App& app) override {
    CLI::App* command = app.add_subcommand(
        "extract", "make members of FILE, all or those that MEMBER patterns name");
    command->add_option("FILE", request_.file, "the file to extract from")->required();
    command->add_option("MEMBER", request_.patterns,
                        "members to make; shell-style patterns (* ? [...]) allowed");
    command
        ->add_option("-C,--directory", request_.directory,
                     "where the members go (default: here)")
        ->type_name("DIR");
    command->add_flag("--overwrite", request_.overwrite,
                      "replace files that exist (default: keep them)");
    command
        ->add_option("--timeout", timeoutSeconds_,
                     "stop a member whose program runs longer than SECONDS, "
                     "report it as timed out and go on with the next")
        ->type_name("SECONDS")
        ->check(CLI::PositiveNumber);
    return command;
  }

  int Run(const CommandContext& context) override {
    const std::optional<PluginClient> plugin = context.LoadPlugin();
    if (!plugin) return kExitRefused;
    request_.file = AbsolutePath(request_.file);
    request_.progress = context.settings.errIsTerminal;
    request_.timeout = std::chrono::milliseconds(
        static_cast<std::int64_t>(std::min(timeoutSeconds_, 1e9) * 1000));
    MemberWatch::Instance().SetInterruptSource(context.settings.interruptRequested);
    return ExtractMembers(*plugin, request_, context.out, context.err);
  }

 private:
  ExtractRequest request_;
  double timeoutSeconds_ = 0;
};

}  // namespace

std::unique_ptr<HostCommand> ExtractCommand() { return std::make_unique<ExtractVerb>(); }

}  // namespace quendrix::host
