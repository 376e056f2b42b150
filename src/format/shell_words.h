// The command-line syntax of the Linux build: words and quotes as the POSIX
// shell reads them, and nothing else of the shell.
//
// On Windows a started program parses its own command line, and file names
// cannot hold a quotation mark. On Linux a file name may hold any byte but
// "/" and NUL, so a command line is split into arguments here, by one exact
// rule, and every value the plug-in inserts is quoted for the place where it
// lands, so that a file name can never split an argument or add one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quendrix {

// Splits a command line into words: blanks (space, tab, newline) separate
// words; single quotes keep everything literally; double quotes keep
// everything literally except that a backslash before $ ` " \ stands for
// that character; outside quotes a backslash makes the next character
// literal. Quotes and backslashes are removed; an unclosed quote runs to the
// end. Nothing is expanded ($, `, ~, globs), and > | ; & are ordinary
// characters. '' and "" make an empty word.
std::vector<std::string> SplitCommandLine(std::string_view line);

enum class QuoteState { kUnquoted, kSingleQuoted, kDoubleQuoted };

// The quoting in force at position `pos` of `line`, that is for a character
// inserted before line[pos] (pos == line.size() means at the end).
QuoteState QuoteStateAt(std::string_view line, std::size_t pos);

// Where a text inserted before line[pos] lands: the quoting in force there,
// and whether a backslash right before it is still waiting to act on the
// first inserted character. Outside quotes such a backslash makes any
// character literal; inside double quotes it acts only on $ ` " \ .
struct InsertionPoint {
  QuoteState state = QuoteState::kUnquoted;
  bool afterBackslash = false;
};
InsertionPoint InsertionPointAt(std::string_view line, std::size_t pos);

// `value` written so that, inserted where `state` is in force, it reads back
// as exactly `value` inside the word where it stands:
// - unquoted: as it is when it is not empty and made only of letters, digits
//   and @%+=:,./_- ; otherwise in single quotes, each ' written as '\''
//   (an empty value becomes '');
// - in double quotes: a backslash before each $ ` " \ ;
// - in single quotes: each ' written as '\''.
std::string QuoteFor(QuoteState state, std::string_view value);

}  // namespace quendrix
