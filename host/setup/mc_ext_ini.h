// Midnight Commander's extension file, mc.ext.ini (mc 4.8.29 and later):
// the block of sections that `quendrix setup mc` puts at its top, added,
// found and removed as whole lines, so that every other byte of the file
// stays as it was. mc has no library for the file, and a general INI
// writer would write the rest of it anew.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quendrix::host {

// The first line of the block, and its last.
inline constexpr std::string_view kMcBlockBegin = "### quendrix setup mc: begin";
inline constexpr std::string_view kMcBlockEnd = "### quendrix setup mc: end";

// The block for `extensions`: one section per extension, matched by its
// name without regard to case, which opens the file through the uquendrix
// extfs helper on Enter. `madeFrom`, when not empty, notes the system's
// file that the user's was copied from. Every line ends in `lineEnd`, and
// a blank line follows the block.
std::string McQuendrixBlock(const std::vector<std::string>& extensions,
                            std::string_view madeFrom, std::string_view lineEnd);

struct McEdit {
  // Empty when the file can be edited; else why it is left as it was.
  std::string error;
  std::string text;  // the file after the edit (the same bytes when nothing changes)
  std::vector<std::string> added;    // extensions whose sections came in
  std::vector<std::string> removed;  // extensions whose sections went
  // For a removal: the system's file that the block says the user's file
  // was made from; empty when it says none.
  std::string madeFrom;
};

// Puts the block for `extensions` right after the [mc.ext.ini] section
// (mc takes the first section that matches a file, so ours come before
// mc's own), or, when the file has the block already, writes it anew in
// its place. A file without [mc.ext.ini] is not one that mc 4.8.29 reads.
McEdit AddMcBlock(std::string_view file, const std::vector<std::string>& extensions,
                  std::string_view madeFrom);

// Takes the block out, and the blank line that follows it, so that a file
// that nothing else changed is the file as it was before AddMcBlock.
McEdit RemoveMcBlock(std::string_view file);

}  // namespace quendrix::host
