// The Linux command syntax beyond words: a pipeline of programs joined by |,
// whose first program may read a file with < and whose last one may write
// its output into a file with >.
//
// There is no shell in between: each program is started directly, with the
// words of its stage as its arguments, and the plug-in itself opens the
// files of < and > and joins the programs with pipes. So a rule can say
// `pdftotext filein - > fileout` without `/bin/sh -c`, and a file name put
// in by the plug-in, being quoted, can never become an operator.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "format/shell_words.h"

namespace quendrix {

// More programs in one pipeline are refused: no rule needs them, and each
// costs the host two descriptors while it runs.
inline constexpr std::size_t kPipelineStageLimit = 16;

// One program of a pipeline: its words, the program first, and where that
// first word stands in the line, so that a caller can put a found program's
// full path in its place.
struct PipelineStage {
  std::vector<std::string> arguments;
  std::size_t programBegin = 0;
  std::size_t programEnd = 0;
};

// The file of a < or a >, and where its word stands in the line.
struct Redirection {
  std::string path;
  std::size_t begin = 0;
  std::size_t end = 0;
};

// What keeps a line from being run, in words for the user, and the position
// in the line of the token it is about.
struct SyntaxProblem {
  std::size_t position = 0;
  std::string text;
};

struct ParsedCommand {
  // Empty for a line without any word.
  std::vector<PipelineStage> stages;
  std::optional<Redirection> input;   // < FILE, for the first program
  std::optional<Redirection> output;  // > FILE, for the last program
  // The first problem found; a line with one is never run.
  std::optional<SyntaxProblem> problem;
};

// Reads `line` in the Linux command syntax. Problems: a | with no program
// on one side, a < or > without a file after it (also >> and 2>, which are
// not supported), a second < or >, a < after the first program or a > before
// the last one, a line of operators without a program, more than
// kPipelineStageLimit programs, and a quote that nothing closes: it would
// take the rest of the line into one word, operators and all, so the line
// would run as something else than it reads.
ParsedCommand ParseCommandLine(std::string_view line);

}  // namespace quendrix
