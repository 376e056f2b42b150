// The records, codes and function types of the WCX packer plug-in interface,
// laid out by the byte offsets of the published interface.
//
// Only the fields the plug-in reads or writes are declared. Hosts may pass
// records that are shorter than the full published ones, so nothing past the
// last declared field is ever touched.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/calling_convention.h"

namespace quendrix {

// Result codes.
inline constexpr int E_END_ARCHIVE = 10;
inline constexpr int E_NO_MEMORY = 11;
inline constexpr int E_BAD_DATA = 12;
inline constexpr int E_BAD_ARCHIVE = 13;
inline constexpr int E_UNKNOWN_FORMAT = 14;
inline constexpr int E_EOPEN = 15;
inline constexpr int E_ECREATE = 16;
inline constexpr int E_ECLOSE = 17;
inline constexpr int E_EREAD = 18;
inline constexpr int E_EWRITE = 19;
inline constexpr int E_SMALL_BUF = 20;
inline constexpr int E_EABORTED = 21;
inline constexpr int E_NO_FILES = 22;
inline constexpr int E_TOO_MANY_FILES = 23;
inline constexpr int E_NOT_SUPPORTED = 24;

// Open modes of tOpenArchiveData.OpenMode.
inline constexpr int PK_OM_LIST = 0;
inline constexpr int PK_OM_EXTRACT = 1;

// Operations of ProcessFile.
inline constexpr int PK_SKIP = 0;
inline constexpr int PK_TEST = 1;
inline constexpr int PK_EXTRACT = 2;

// Capabilities: searchable by content, content search, hidden from the pack
// dialog. Nothing that writes archives.
inline constexpr int PK_CAPS_BY_CONTENT = 64;
inline constexpr int PK_CAPS_SEARCHTEXT = 128;
inline constexpr int PK_CAPS_HIDE = 256;

// GetBackgroundFlags: extractions may run in the background, several at once.
inline constexpr int BACKGROUND_UNPACK = 1;

// The interface's fixed text fields.
inline constexpr std::size_t kHeaderNameBytes = 260;

struct tOpenArchiveData {
  char* ArcName;
  std::int32_t OpenMode;
  std::int32_t OpenResult;
  // Comment buffer fields follow in the published record; never touched.
};

struct tHeaderData {
  char ArcName[kHeaderNameBytes];
  char FileName[kHeaderNameBytes];
  std::int32_t Flags;
  std::int32_t PackSize;
  std::int32_t UnpSize;
  std::int32_t HostOS;
  std::int32_t FileCRC;
  std::int32_t FileTime;
  // Version, method, attributes and comment fields follow; never touched.
};

// The records of the wide functions, which pass every text as UTF-16.
inline constexpr std::size_t kWideNameUnits = 1024;

struct tOpenArchiveDataW {
  char16_t* ArcName;
  std::int32_t OpenMode;
  std::int32_t OpenResult;
  // Comment buffer fields follow in the published record; never touched.
};

struct tHeaderDataExW {
  char16_t ArcName[kWideNameUnits];
  char16_t FileName[kWideNameUnits];
  std::int32_t Flags;
  std::int32_t PackSize;
  std::int32_t PackSizeHigh;
  std::int32_t UnpSize;
  std::int32_t UnpSizeHigh;
  std::int32_t HostOS;
  std::int32_t FileCRC;
  std::int32_t FileTime;
  std::int32_t UnpVer;
  std::int32_t Method;
  std::int32_t FileAttr;
  // CmtBuf and further fields follow; hosts pass the record packed or
  // padded, so nothing past FileAttr is declared or touched.
};

// The pointer ArcName is 4 bytes in 32-bit builds and 8 in 64-bit ones.
static_assert(offsetof(tOpenArchiveData, ArcName) == 0);
static_assert(offsetof(tOpenArchiveData, OpenMode) == sizeof(void*));
static_assert(offsetof(tOpenArchiveData, OpenResult) == sizeof(void*) + 4);
static_assert(offsetof(tHeaderData, FileName) == 260);
static_assert(offsetof(tHeaderData, PackSize) == 524);
static_assert(offsetof(tHeaderData, UnpSize) == 528);
static_assert(offsetof(tHeaderData, FileTime) == 540);
static_assert(offsetof(tOpenArchiveDataW, ArcName) == 0);
static_assert(offsetof(tOpenArchiveDataW, OpenMode) == sizeof(void*));
static_assert(offsetof(tOpenArchiveDataW, OpenResult) == sizeof(void*) + 4);
static_assert(offsetof(tHeaderDataExW, ArcName) == 0);
static_assert(offsetof(tHeaderDataExW, FileName) == 2048);
static_assert(offsetof(tHeaderDataExW, Flags) == 4096);
static_assert(offsetof(tHeaderDataExW, PackSize) == 4100);
static_assert(offsetof(tHeaderDataExW, PackSizeHigh) == 4104);
static_assert(offsetof(tHeaderDataExW, UnpSize) == 4108);
static_assert(offsetof(tHeaderDataExW, UnpSizeHigh) == 4112);
static_assert(offsetof(tHeaderDataExW, HostOS) == 4116);
static_assert(offsetof(tHeaderDataExW, FileCRC) == 4120);
static_assert(offsetof(tHeaderDataExW, FileTime) == 4124);
static_assert(offsetof(tHeaderDataExW, UnpVer) == 4128);
static_assert(offsetof(tHeaderDataExW, Method) == 4132);
static_assert(offsetof(tHeaderDataExW, FileAttr) == 4136);
static_assert(sizeof(tHeaderDataExW) == 4140);

using ArchiveHandle = void*;
using ChangeVolProc = int(QUENDRIX_WCX_CALL*)(char*, int);
using ProcessDataProc = int(QUENDRIX_WCX_CALL*)(char*, int);
using ChangeVolProcW = int(QUENDRIX_WCX_CALL*)(char16_t*, int);
using ProcessDataProcW = int(QUENDRIX_WCX_CALL*)(char16_t*, int);

// Function types of the exports, for hosts that load a plug-in.
using OpenArchiveFn = ArchiveHandle(QUENDRIX_WCX_CALL*)(tOpenArchiveData*);
using ReadHeaderFn = int(QUENDRIX_WCX_CALL*)(ArchiveHandle, tHeaderData*);
using ProcessFileFn = int(QUENDRIX_WCX_CALL*)(ArchiveHandle, int, char*, char*);
using CloseArchiveFn = int(QUENDRIX_WCX_CALL*)(ArchiveHandle);
using SetChangeVolProcFn = void(QUENDRIX_WCX_CALL*)(ArchiveHandle, ChangeVolProc);
using SetProcessDataProcFn = void(QUENDRIX_WCX_CALL*)(ArchiveHandle,
                                                     ProcessDataProc);
using GetPackerCapsFn = int(QUENDRIX_WCX_CALL*)();
using CanYouHandleThisFileFn = int(QUENDRIX_WCX_CALL*)(char*);
// Optional: which operations the host may run in the background.
using GetBackgroundFlagsFn = int(QUENDRIX_WCX_CALL*)();
// Optional: the wide functions, which hosts prefer when a plug-in has them.
using OpenArchiveWFn = ArchiveHandle(QUENDRIX_WCX_CALL*)(tOpenArchiveDataW*);
using ReadHeaderExWFn = int(QUENDRIX_WCX_CALL*)(ArchiveHandle, tHeaderDataExW*);
using ProcessFileWFn = int(QUENDRIX_WCX_CALL*)(ArchiveHandle, int, char16_t*,
                                               char16_t*);
using SetChangeVolProcWFn = void(QUENDRIX_WCX_CALL*)(ArchiveHandle,
                                                    ChangeVolProcW);
using SetProcessDataProcWFn = void(QUENDRIX_WCX_CALL*)(ArchiveHandle,
                                                      ProcessDataProcW);
using CanYouHandleThisFileWFn = int(QUENDRIX_WCX_CALL*)(char16_t*);
// quendrix's own, optional: why the last member extracted on a handle was
// not made. Returns that extraction's result (0: made, or none yet; 13 for
// an unknown handle) and gives the program's exit status (-1 when it did
// not exit by itself), the signal that ended it (0: none) and the end of
// its standard error, zero-terminated in a buffer of the given size.
using QuendrixMemberFailureFn = int(QUENDRIX_WCX_CALL*)(ArchiveHandle, int*,
                                                       int*, char*, int);
// quendrix's own, optional: the same member's reason in one line of UTF-8,
// zero-terminated in a buffer of the given size (which program, and what
// became of it); returns what QuendrixMemberFailure returns.
using QuendrixMemberFailureReasonFn = int(QUENDRIX_WCX_CALL*)(ArchiveHandle, char*, int);
// quendrix's own, optional: why the last OpenArchive or OpenArchiveW of the
// calling thread failed: returns its OpenResult (0 when it succeeded) and
// gives a line of UTF-8 and the end of the list program's standard error,
// each zero-terminated in a buffer of the given size.
using QuendrixOpenFailureFn = int(QUENDRIX_WCX_CALL*)(char*, int, char*, int);
// quendrix's own, optional: the warning about an open archive's list (names
// skipped, a list cut), one line of UTF-8; empty when there is none.
using QuendrixListWarningFn = int(QUENDRIX_WCX_CALL*)(ArchiveHandle, char*, int);

}  // namespace quendrix
