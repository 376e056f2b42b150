#include "mount/plugin_members.h"

#include <filesystem>
#include <system_error>

#include "client/archive_session.h"
#include "exit_codes.h"

namespace quendrix::host::mount {
namespace {

namespace fs = std::filesystem;

// The stop question of the member being made on this thread. The plug-in's
// progress callback carries nothing of the host's, but it is called on the
// thread that called ProcessFile, and each make has a thread of its own.
thread_local const std::function<bool()>* currentStop = nullptr;

int QUENDRIX_WCX_CALL ReportProgress(char* /*name*/, int /*size*/) {
  return currentStop != nullptr && (*currentStop)() ? 0 : 1;
}

}  // namespace

ListOutcome ListWithPlugin(const PluginClient& plugin, const std::string& source,
                           std::vector<std::string>& warnings) {
  ListOutcome outcome;
  std::int32_t openResult = 0;
  std::optional<Listing> listing = ListArchive(plugin, source, outcome.reason, &openResult);
  if (!listing) {
    // The same line as the host's commands draw: a file the plug-in does
    // not serve is refused, any other refusal is a failure.
    outcome.state = RefusalExitCode(openResult) == kExitRefused ? ListState::kRefused
                                                                : ListState::kFailed;
    return outcome;
  }
  outcome.reason.clear();
  outcome.state = ListState::kListed;
  if (!listing->warning.empty()) warnings.push_back(listing->warning);
  if (!listing->fault.empty()) warnings.push_back(listing->fault);
  outcome.members = std::move(listing->members);
  return outcome;
}

MakeOutcome MakeWithPlugin(const PluginClient& plugin, const std::string& source,
                           const std::string& member, const std::string& destination,
                           const std::function<bool()>& stopRequested) {
  using Kind = MakeOutcome::Kind;
  std::string error;
  const std::optional<ArchiveSession> archive =
      ArchiveSession::Open(plugin, source, PK_OM_EXTRACT, error);
  if (!archive) return {Kind::kFailed, error};
  for (std::size_t read = 0; read < kMaxHeaders; ++read) {
    MemberHeader header;
    const int result = archive->ReadHeader(header);
    if (result == E_END_ARCHIVE) {
      return {Kind::kFailed, "the plug-in no longer lists it"};
    }
    if (result != 0) {
      return {Kind::kFailed, "the plug-in could not read member " +
                                 std::to_string(read + 1) + ": " +
                                 ResultCodeText(result)};
    }
    if (header.name != member) {
      archive->Process(PK_SKIP, {});
      continue;
    }
    if (stopRequested()) return {Kind::kCancelled, {}};
    archive->WatchProgress(&ReportProgress);
    currentStop = &stopRequested;
    const int code = archive->Process(PK_EXTRACT, destination);
    currentStop = nullptr;
    if (code == E_EABORTED) return {Kind::kCancelled, {}};
    if (code != 0) return {Kind::kFailed, archive->FailureReason(code)};
    std::error_code statusError;
    if (!fs::is_regular_file(destination, statusError)) {
      return {Kind::kFailed, "its program wrote no file"};
    }
    return {Kind::kMade, {}};
  }
  return {Kind::kFailed, "the plug-in's list did not end"};
}

}  // namespace quendrix::host::mount
