// One archive opened by a host: everything OpenArchive found out about the
// file, and where the host stands in its list.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <mutex>
#include <string>

#include "extract/extraction.h"
#include "extract/member_cache.h"
#include "plugin/kept_lists.h"
#include "interface/wcx.h"
#include "platform/platform.h"
#include "rules/file_rules.h"

namespace quendrix {

// A member as a host is told of it: its name in the session's encoding and,
// for a listed member, the size and time its list gave.
struct MemberView {
  const std::string& name;
  std::optional<std::int64_t> size;
  // Whether the list gave a time, and its FileTime (see HeaderTimeOf).
  bool time = false;
  std::uint32_t headerTime = 0;
};

// A file manager lists one archive on its main thread while another is being
// copied out on a worker thread, so nothing of one opened file may live
// outside its session. What OpenArchive fills in is fixed from then on and
// may be read without a lock by whoever holds the session; the list position
// and the callbacks change with the host's calls and are kept under `mutex`.
struct Session {
  // Fixed when the archive is opened.
  // How every text of the session is written: in the system's encoding when
  // an ANSI function opened it, in UTF-8 when a wide one did, so that no
  // character of a wide name is lost between the open and the programs run.
  platform::TextEncoding encoding = platform::TextEncoding::kSystem;
  std::string archivePath;  // as the host gave it, in the session's encoding
  // The rules that apply to the file: its section's settings and numbered
  // members, its list= and extract=, and the rules file, next to which the
  // log of the session's extractions goes (so that a user's own rules log
  // into the user's folder; nowhere when its logDir is empty).
  FileRules rules;
  // The member stamp, in the form this platform's hosts read FileTime.
  std::uint32_t ArcDosTime = 0;
  // The members the list program printed, which come after the numbered
  // ones, when the section has list=; shared with the lists the plug-in
  // keeps (plugin/kept_lists.h).
  std::shared_ptr<const Listing> listing;
  // The cache of made members, for a section with Cache=1.
  std::optional<MemberCache> cache;

  // How many members the session lists: the numbered, then the listed.
  std::int32_t MemberCount() const {
    return rules.entryTable.UpperBound() +
           (listing ? static_cast<std::int32_t>(listing->members.members.size()) : 0);
  }

  // Changed by the host's calls on this session's handle.
  mutable std::mutex mutex;
  // Number of the member the last ReadHeader moved to; 0 before the first.
  // Numbered members come first, from 1, and listed ones after them. Entry
  // numbers fit in 16 bits, but listed members and the position one past a
  // list of 32767 members do not, so it is kept in 32 bits and never wraps.
  std::int32_t currentEntry = 0;
  ProcessDataProc processData = nullptr;
  ChangeVolProc changeVolume = nullptr;
  ProcessDataProcW processDataW = nullptr;
  ChangeVolProcW changeVolumeW = nullptr;
  // How the last extraction on this handle ended, for a host that asks why
  // a member was not made.
  mutable MemberFailure lastFailure;
};

}  // namespace quendrix
