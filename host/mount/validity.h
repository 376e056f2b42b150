// What tells that a file is still the one it was: a made member and a
// listing stay valid while their source file and the rules files keep the
// same state.
#pragma once

#include <optional>
#include <vector>

#include "platform/platform.h"

namespace quendrix::host::mount {

// A source file as the rules saw it: the source's state and the state of
// the rules file at each place the plug-in looks (nothing where there is
// none, which is a state of its own: a rules file put into an earlier place
// takes over from a later one). The states are platform::StateOfFile's,
// which the plug-in keeps its lists by too.
struct Validity {
  platform::FileState source;
  std::vector<std::optional<platform::FileState>> rules;

  bool operator==(const Validity&) const = default;
};

}  // namespace quendrix::host::mount
