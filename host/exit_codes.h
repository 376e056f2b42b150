// The exit codes of the quendrix host, the same for every command.
#pragma once

namespace quendrix::host {

inline constexpr int kExitDone = 0;
// Some member was not made as asked, or the plug-in misbehaved on the way;
// for check and explain: the rules have a problem.
inline constexpr int kExitMemberFailed = 1;
// A usage error, a plug-in that cannot be loaded, a file it refuses, or a
// rules file that is missing or cannot be read.
inline constexpr int kExitRefused = 2;
// A file the plug-in does not serve is refused (kExitRefused); one it
// serves but could not open (its list program failed, say) counts as a
// failure of the work (kExitMemberFailed).
inline constexpr int RefusalExitCode(int openResult) {
  return openResult == 24 /* E_NOT_SUPPORTED */ || openResult == 0 ? kExitRefused
                                                                   : kExitMemberFailed;
}

// Ctrl+C stopped the work, as a shell reports a program that SIGINT ended.
inline constexpr int kExitInterrupted = 130;

}  // namespace quendrix::host
