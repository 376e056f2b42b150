#include "mc/mc_command.h"

#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <system_error>

#include "client/archive_session.h"
#include "text/json_text.h"
#include "mc/mc_listing.h"

namespace quendrix::host {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: quendrix mc list FILE\n"
    "       quendrix mc copyout FILE MEMBER DEST\n";

int List(const PluginClient& plugin, const std::string& file,
         std::ostream& out, std::ostream& err) {
  int refusal = kExitDone;
  const std::optional<Listing> listing = ListArchiveTelling(plugin, file, err, refusal);
  if (!listing) return refusal;
  // The copies that mc makes are the user's own, so the members are shown
  // as the user's files.
  const std::uint32_t owner = static_cast<std::uint32_t>(getuid());
  const std::uint32_t group = static_cast<std::uint32_t>(getgid());
  std::string text;
  for (const MemberHeader& member : listing->members) {
    if (const std::optional<std::string> obstacle =
            McNameObstacle(member.name)) {
      err << "quendrix: " << file << ": member " << JsonString(member.name)
          << " left out of mc's listing: " << *obstacle << "\n";
      continue;
    }
    text += McListingLine(member, owner, group);
  }
  out << text << std::flush;
  if (!listing->fault.empty()) {
    err << "quendrix: " << file << ": " << listing->fault << "\n";
    return kExitMemberFailed;
  }
  return kExitDone;
}

// Clears the destination for the member's program, so that afterwards a file
// there shows that the program made it; the reason when it cannot.
std::optional<std::string> ClearDestination(const fs::path& destination) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(destination, error);
  if (!fs::exists(status)) return std::nullopt;
  if (fs::is_directory(status)) return "it is a directory";
  if (!fs::remove(destination, error)) {
    return "the file there cannot be replaced: " + error.message();
  }
  return std::nullopt;
}

int CopyOut(const PluginClient& plugin, const McRequest& request,
            std::ostream& err) {
  const std::string& file = request.file;
  std::string error;
  const std::optional<ArchiveSession> archive =
      ArchiveSession::Open(plugin, file, PK_OM_EXTRACT, error);
  if (!archive) {
    err << "quendrix: " << file << ": " << error << "\n";
    return kExitRefused;
  }
  const std::string prefix = "quendrix: " + file + ": member " +
                             JsonString(request.member) + ": ";
  for (std::size_t read = 0; read < kMaxHeaders; ++read) {
    MemberHeader header;
    const int result = archive->ReadHeader(header);
    if (result == E_END_ARCHIVE) {
      err << prefix << "there is no member of that name\n";
      return kExitMemberFailed;
    }
    if (result != 0) {
      err << prefix << "the plug-in could not read member " << read + 1
          << ": " << ResultCodeText(result) << " (code " << result << ")\n";
      return kExitMemberFailed;
    }
    if (header.name != request.member) {
      archive->Process(PK_SKIP, {});
      continue;
    }
    const fs::path destination(request.destination);
    if (const std::optional<std::string> refusal =
            ClearDestination(destination)) {
      archive->Process(PK_SKIP, {});
      err << prefix << "cannot be made at " << request.destination << ": "
          << *refusal << "\n";
      return kExitMemberFailed;
    }
    const int code = archive->Process(PK_EXTRACT, request.destination);
    if (code != 0) {
      err << prefix << archive->FailureReason(code) << "\n";
      return kExitMemberFailed;
    }
    std::error_code statusError;
    if (!fs::exists(fs::symlink_status(destination, statusError))) {
      err << prefix << "the member's program left no file at "
          << request.destination << "\n";
      return kExitMemberFailed;
    }
    return kExitDone;
  }
  err << prefix << "not found: the plug-in's list did not end after "
      << kMaxHeaders << " members\n";
  return kExitMemberFailed;
}

}  // namespace

std::optional<McRequest> ParseMcRequest(const std::vector<std::string>& words,
                                        std::ostream& err) {
  if (words.empty()) {
    err << "quendrix mc: a verb is missing\n" << kUsage;
    return std::nullopt;
  }
  const std::string& verb = words[0];
  McRequest request;
  std::size_t operands = 0;
  if (verb == "list") {
    request.verb = McVerb::kList;
    operands = 1;
  } else if (verb == "copyout") {
    request.verb = McVerb::kCopyOut;
    operands = 3;
  } else {
    err << "quendrix mc " << verb << ": "
        << (words.size() > 1 ? words[1] : std::string("the file"))
        << " is read-only: its members are made by programs, and quendrix "
           "only lists them and copies them out\n";
    return std::nullopt;
  }
  if (words.size() != operands + 1) {
    err << "quendrix mc " << verb << ": " << operands
        << (operands == 1 ? " operand" : " operands") << " expected, "
        << words.size() - 1 << " given\n"
        << kUsage;
    return std::nullopt;
  }
  request.file = words[1];
  if (request.verb == McVerb::kCopyOut) {
    request.member = words[2];
    request.destination = words[3];
  }
  if (request.file.empty() ||
      (request.verb == McVerb::kCopyOut && request.destination.empty())) {
    err << "quendrix mc " << verb << ": a path is empty\n" << kUsage;
    return std::nullopt;
  }
  return request;
}

int RunMcRequest(const PluginClient& plugin, const McRequest& request,
                 std::ostream& out, std::ostream& err) {
  return request.verb == McVerb::kList ? List(plugin, request.file, out, err)
                                       : CopyOut(plugin, request, err);
}

}  // namespace quendrix::host
