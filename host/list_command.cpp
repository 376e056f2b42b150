#include "list_command.h"

#include <cstring>
#include <iomanip>
#include <ostream>
#include <vector>

#include "member_time.h"

namespace quendrix::host {
namespace {

// However a plug-in behaves, listing stops after this many headers.
constexpr int kMaxHeaders = 1 << 20;

std::string OpenErrorText(int code) {
  switch (code) {
    case E_NOT_SUPPORTED: return "the plug-in does not support this file";
    case E_EOPEN: return "the plug-in could not open the file";
    case 0: return "the plug-in refused the file";
    default: return "the plug-in refused the file (code " + std::to_string(code) + ")";
  }
}

}  // namespace

int ListMembers(const PluginClient& plugin, const std::string& file,
                std::ostream& out, std::ostream& err) {
  std::vector<char> name(file.begin(), file.end());
  name.push_back('\0');
  tOpenArchiveData open{};
  open.ArcName = name.data();
  open.OpenMode = PK_OM_LIST;
  ArchiveHandle handle = plugin.OpenArchive(&open);
  if (handle == nullptr) {
    err << "quendrix: " << file << ": " << OpenErrorText(open.OpenResult)
        << "\n";
    return kExitRefused;
  }

  out << "   Length  Date       Time   Name\n"
      << "---------  ---------- -----  ----\n";
  long long total = 0;
  int members = 0;
  for (int i = 0; i < kMaxHeaders; ++i) {
    tHeaderData header{};
    if (plugin.ReadHeader(handle, &header) != 0) break;
    header.FileName[sizeof header.FileName - 1] = '\0';
    out << std::setw(9) << header.UnpSize << "  "
        << FormatMemberTime(header.FileTime) << "  " << header.FileName
        << "\n";
    total += header.UnpSize;
    ++members;
    // A listing only reads; it asks the plug-in to skip each member, as a
    // file manager does.
    plugin.ProcessFile(handle, PK_SKIP, nullptr, nullptr);
  }
  plugin.CloseArchive(handle);
  out << "---------                    -------\n"
      << std::setw(9) << total << "                    " << members
      << (members == 1 ? " member" : " members") << "\n";
  return kExitDone;
}

}  // namespace quendrix::host
