// The module-wide state that every export works on.
#pragma once

#include <cstdint>
#include <string>

#include "rules/entry.h"
#include "rules/lookup.h"

namespace quendrix {

// The plug-in serves one archive at a time: opening another archive or asking
// about another file replaces all of this. Handles do not keep archives apart.
struct PluginState {
  std::string archivePath;  // exactly as the host gave it
  std::string baseName;
  std::string extension;
  std::string PluginDir;  // the plug-in's directory, ending in the separator
  std::string lookupResult;
  RuleSettings settings;  // logFlag, shortFileNameFlag, showConsole

  // The member stamp of the open archive, in the form this platform's hosts
  // read FileTime (see ArchiveHeaderTime).
  std::uint32_t ArcDosTime = 0;

  // Number of the entry the last ReadHeader moved to; 0 before the first.
  // Entry numbers fit in 16 bits, but the position one past a list of 32767
  // members does not, so it is kept in 32 bits and never wraps.
  std::int32_t currentEntry = 0;

  EntryTable entryTable;

  // Handles for archives opened for extraction run from 1 to 32767.
  std::int32_t handleCounter = 0;
};

}  // namespace quendrix
