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

}  // namespace quendrix::host
