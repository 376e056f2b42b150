// The command-line syntax of the Linux build: words, quotes and the
// operators < > | as the POSIX shell reads them, and nothing else of the
// shell.
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

// What a piece of a command line is: a word, or one of the three operators
// that only an unquoted, unescaped < > | makes.
enum class TokenKind { kWord, kRead, kWrite, kPipe };

struct CommandToken {
  TokenKind kind = TokenKind::kWord;
  // A word's text with its quotes and backslashes removed; an operator's
  // own character.
  std::string text;
  // Where the token stands in the line: [begin, end), quotes included.
  std::size_t begin = 0;
  std::size_t end = 0;
};

struct TokenizedLine {
  std::vector<CommandToken> tokens;
  // A quote that nothing closes runs to the end of the line.
  bool unclosedQuote = false;
  // Where the last quote opened: with unclosedQuote, the one never closed.
  std::size_t quoteAt = 0;
};

// Splits a command line into words and operators: blanks (space, tab,
// newline) separate words; single quotes keep everything literally; double
// quotes keep everything literally except that a backslash before $ ` " or
// a backslash stands for that character; outside quotes a backslash makes the next
// character literal. Quotes and backslashes are removed; an unclosed quote
// runs to the end. Outside quotes and not after a backslash, < > and | are
// operators, tokens of their own even where no blank separates them from a
// word ("a>b" is a, >, b). Nothing is expanded ($, `, ~, globs), and ; & and
// every other character are ordinary. '' and "" make an empty word. Reading
// stops once `maxTokens` tokens are complete.
TokenizedLine TokenizeCommandLine(std::string_view line,
                                  std::size_t maxTokens = std::size_t(-1));

// The texts of TokenizeCommandLine's tokens, operators included, for
// callers that only look at the words.
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
