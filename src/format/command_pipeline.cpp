#include "format/command_pipeline.h"

#include <algorithm>

namespace quendrix {
namespace {

bool IsDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view OperatorName(TokenKind kind) {
  switch (kind) {
    case TokenKind::kRead: return "<";
    case TokenKind::kWrite: return ">";
    case TokenKind::kPipe: return "|";
    case TokenKind::kWord: break;
  }
  return {};
}

// Reads the tokens of one line; stops at the first problem.
class PipelineReader {
 public:
  explicit PipelineReader(const std::vector<CommandToken>& tokens) : tokens_(tokens) {}

  void Read(ParsedCommand& parsed) {
    parsed_ = &parsed;
    if (tokens_.empty()) return;
    parsed.stages.emplace_back();
    for (i_ = 0; i_ < tokens_.size() && !parsed.problem; ++i_) {
      const CommandToken& token = tokens_[i_];
      switch (token.kind) {
        case TokenKind::kWord: AddWord(token); break;
        case TokenKind::kPipe: EndStage(token); break;
        case TokenKind::kRead:
        case TokenKind::kWrite: Redirect(token); break;
      }
    }
    if (parsed.problem) return;
    if (parsed.stages.back().arguments.empty()) {
      const CommandToken& last = tokens_.back();
      if (parsed.stages.size() > 1) {
        Fail(last.begin, "| has no program after it");
      } else {
        Fail(tokens_.front().begin, "the command names no program, only a redirection");
      }
      return;
    }
    // A > belongs to the last program of a pipeline: one written before a |
    // would leave the programs after it nothing to read.
    if (parsed.output && writeStage_ + 1 != parsed.stages.size()) {
      Fail(writeAt_,
           "> writes the output of the last program of a pipeline only");
    }
  }

 private:
  void Fail(std::size_t position, std::string text) {
    parsed_->problem = SyntaxProblem{position, std::move(text)};
  }

  void AddWord(const CommandToken& token) {
    PipelineStage& stage = parsed_->stages.back();
    if (stage.arguments.empty()) {
      stage.programBegin = token.begin;
      stage.programEnd = token.end;
    }
    stage.arguments.push_back(token.text);
  }

  void EndStage(const CommandToken& token) {
    if (parsed_->stages.back().arguments.empty()) {
      Fail(token.begin, "| has no program before it");
      return;
    }
    if (parsed_->stages.size() == kPipelineStageLimit) {
      Fail(token.begin, "a pipeline may join at most " +
                            std::to_string(kPipelineStageLimit) + " programs");
      return;
    }
    parsed_->stages.emplace_back();
  }

  void Redirect(const CommandToken& token) {
    const bool read = token.kind == TokenKind::kRead;
    const std::string name(OperatorName(token.kind));
    // "2>" and the like are a number glued to the operator: the shell's way
    // to redirect another descriptor, which this syntax does not have.
    PipelineStage& stage = parsed_->stages.back();
    if (i_ > 0 && tokens_[i_ - 1].kind == TokenKind::kWord &&
        tokens_[i_ - 1].end == token.begin && IsDigits(tokens_[i_ - 1].text) &&
        !stage.arguments.empty() && tokens_[i_ - 1].begin > stage.programBegin) {
      Fail(tokens_[i_ - 1].begin,
           tokens_[i_ - 1].text + name +
               " is not supported: only the output (>) and the input (<) of a "
               "program can be redirected; what a program writes to its "
               "standard error is kept for the report of a failure");
      return;
    }
    if (i_ + 1 >= tokens_.size() || tokens_[i_ + 1].kind != TokenKind::kWord) {
      if (!read && i_ + 1 < tokens_.size() && tokens_[i_ + 1].kind == TokenKind::kWrite &&
          tokens_[i_ + 1].begin == token.end) {
        Fail(token.begin, ">> is not supported: a member's file is written whole, with >");
      } else {
        Fail(token.begin, name + " has no file after it");
      }
      return;
    }
    std::optional<Redirection>& target = read ? parsed_->input : parsed_->output;
    if (target) {
      Fail(token.begin, read ? "a second <: a program reads one file with <"
                             : "a second >: a command writes one file with >");
      return;
    }
    if (read && parsed_->stages.size() > 1) {
      Fail(token.begin, "< feeds a file to the first program of a pipeline only");
      return;
    }
    const CommandToken& file = tokens_[++i_];
    target = Redirection{file.text, file.begin, file.end};
    if (!read) {
      writeStage_ = parsed_->stages.size() - 1;
      writeAt_ = token.begin;
    }
  }

  const std::vector<CommandToken>& tokens_;
  ParsedCommand* parsed_ = nullptr;
  std::size_t i_ = 0;
  std::size_t writeStage_ = 0;
  std::size_t writeAt_ = 0;
};

}  // namespace

ParsedCommand ParseCommandLine(std::string_view line) {
  const TokenizedLine tokenized = TokenizeCommandLine(line);
  ParsedCommand parsed;
  PipelineReader(tokenized.tokens).Read(parsed);
  if (!parsed.problem && tokenized.unclosedQuote) {
    const bool single = line[tokenized.quoteAt] == '\'';
    parsed.problem = SyntaxProblem{
        tokenized.quoteAt, std::string("a ") + (single ? "' (single quote)" : "\" (double quote)") +
                               " is never closed, so it runs to the end of the line"};
  }
  return parsed;
}

}  // namespace quendrix
