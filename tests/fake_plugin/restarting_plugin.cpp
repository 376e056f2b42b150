// A packer plug-in that misbehaves as some plug-ins do, so that the host's
// defences can be shown to hold. It takes files whose names end in ".fake"
// and lists three members, one.txt, two.txt and three.txt, but:
// - after every extraction it starts its list over, so that a host which
//   reads headers until the end of the list would never get there;
// - for a file whose name holds "endless", its list never ends at all.
// An extraction writes one line into the destination file.
#include <cstdio>
#include <cstring>
#include <string>

#include "interface/wcx.h"

namespace {

using quendrix::ArchiveHandle;

constexpr const char* kMembers[] = {"one.txt", "two.txt", "three.txt"};
constexpr int kMemberCount = 3;

int g_position = 0;  // members read since the list (last) started
bool g_endless = false;

bool Takes(const char* path) {
  if (path == nullptr) return false;
  const std::string name = path;
  const std::string suffix = ".fake";
  return name.size() > suffix.size() &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void CopyName(char* field, const std::string& name) {
  const std::size_t length = name.size() < 259 ? name.size() : 259;
  std::memcpy(field, name.data(), length);
  field[length] = '\0';
}

}  // namespace

extern "C" ArchiveHandle QUENDRIX_WCX_CALL
OpenArchive(quendrix::tOpenArchiveData* data) {
  if (!Takes(data->ArcName)) {
    data->OpenResult = quendrix::E_NOT_SUPPORTED;
    return nullptr;
  }
  g_endless = std::strstr(data->ArcName, "endless") != nullptr;
  g_position = 0;
  static int handle = 1;
  return &handle;
}

extern "C" int QUENDRIX_WCX_CALL ReadHeader(ArchiveHandle,
                                            quendrix::tHeaderData* header) {
  if (!g_endless && g_position >= kMemberCount) return quendrix::E_END_ARCHIVE;
  CopyName(header->FileName,
           g_endless ? "member-" + std::to_string(g_position)
                     : std::string(kMembers[g_position]));
  header->PackSize = 1;
  header->UnpSize = 1;
  header->FileTime = 0;
  ++g_position;
  return 0;
}

extern "C" int QUENDRIX_WCX_CALL ProcessFile(ArchiveHandle, int operation,
                                             char*, char* destName) {
  if (operation != quendrix::PK_EXTRACT) return 0;
  if (std::FILE* file = std::fopen(destName, "wb")) {
    std::fputs("made by the restarting plug-in\n", file);
    std::fclose(file);
  }
  g_position = 0;
  return 0;
}

extern "C" int QUENDRIX_WCX_CALL CloseArchive(ArchiveHandle) { return 0; }

extern "C" int QUENDRIX_WCX_CALL CanYouHandleThisFile(char* fileName) {
  return Takes(fileName) ? 1 : 0;
}

extern "C" int QUENDRIX_WCX_CALL GetPackerCaps() { return 0; }
