// What quendrix's plug-in says of itself to GetPackerCaps and
// GetBackgroundFlags. The plug-in answers with these, and `quendrix setup`
// registers it with a file manager under the same capabilities, without
// loading it.
#pragma once

#include "interface/wcx.h"

namespace quendrix {

// The plug-in tells the files it serves when asked (CanYouHandleThisFile,
// by its rules), lets a file manager search the text of the members, and
// stays out of the list of packers a user packs with: it packs nothing.
inline constexpr int kPackerCaps = PK_CAPS_BY_CONTENT | PK_CAPS_SEARCHTEXT | PK_CAPS_HIDE;

// Every export may be called from several threads at once, and sessions keep
// archives apart, so hosts may copy members out in the background and several
// at a time.
inline constexpr int kBackgroundFlags = BACKGROUND_UNPACK;

}  // namespace quendrix
