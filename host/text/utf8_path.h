// The host keeps every text in UTF-8, on Windows too, where the system's own
// narrow text is the ANSI code page; paths are made from it and written back
// to it here.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quendrix::host {

std::filesystem::path PathOf(std::string_view utf8);
std::string TextOf(const std::filesystem::path& path);

// `path` as a file manager hands a path to a plug-in: absolute, in the
// platform's own form (the dynamic loader needs this too: a bare file name
// would send it searching the system's library folders). Empty stays empty;
// a path that cannot be made absolute stays as it is.
std::string AbsolutePath(const std::string& path);

}  // namespace quendrix::host
