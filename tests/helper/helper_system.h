// What the test helper asks of the operating system; one implementation for
// POSIX, one for Windows.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quendrix::helper {

// The command line exactly as the program received it, where the system
// hands one over (Windows); nothing where it hands over words (POSIX).
std::optional<std::string> RawCommandLine();

// The command line as the system's wide function gives it, in UTF-8, where
// there is one (Windows): it shows every character of the names the program
// was given, also those the ANSI code page cannot write.
std::optional<std::string> WideCommandLine();

// Argument `index` of `argv` as a path, in full: on Windows taken from the
// wide command line, where the ANSI form of a name may have lost characters.
std::filesystem::path PathArgument(int argc, char** argv, int index);

// The descriptors open in this process, in increasing order; empty where the
// system offers no list (Windows, whose handles are probed one by one).
std::vector<std::string> OpenDescriptors();

// What reading from the descriptor or handle whose number is `value` gives:
// up to 64 bytes from its start, or nothing when it is not open or cannot
// be read.
std::optional<std::string> ProbeReadable(const std::string& value);

// "eof" when standard input is at its end, "data" when it has bytes, and
// "blocked" when nothing arrives within a few seconds, so that a runner that
// passes its own standard input on shows up as a failure instead of a hang.
std::string StandardInputState();

// Makes standard output pass bytes on as they are: without the newline
// translation of a Windows text stream.
void MakeStandardOutputBinary();

// Ends the process as a signal would (POSIX), or abnormally (Windows).
[[noreturn]] void EndBySignal(int signalNumber);

// This process's identifier.
long CurrentProcessId();

// Starts this program again with `args` and does not wait for it; false
// when it cannot be started.
bool StartSelf(const std::vector<std::string>& args);

}  // namespace quendrix::helper
