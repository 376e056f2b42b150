// The rules-file reader on arbitrary bytes, asked for arbitrary sections and
// keys with arbitrary defaults and buffer sizes: ProfileText directly, and
// the POSIX platform::Profile over the same bytes written to a file.
//
// Input: a query count, then per query a section, a key, a default and a
// buffer size, then the bytes of the rules file.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "platform/platform.h"
#include "format/profile_text.h"

namespace {

using quendrix::ProfileText;
using quendrix::fuzz::FuzzInput;

struct Query {
  std::string_view section;
  std::string_view key;
  std::string_view defaultValue;
  std::size_t bufferSize = 0;
};

// The caller's names reach the Windows reader as C strings.
std::string_view AsCString(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

bool IsQuoteMark(char c) { return c == '"' || c == '\''; }

// What holds for one answer, whatever the file.
void CheckAnswer(const ProfileText& text, const Query& query) {
  const std::string answer =
      text.Read(query.section, query.key, query.defaultValue, query.bufferSize);
  if (query.bufferSize == 0) {
    QUENDRIX_FUZZ_CHECK(answer.empty());
    return;
  }
  QUENDRIX_FUZZ_CHECK(answer.size() <= query.bufferSize - 1);

  const std::optional<std::string_view> value =
      text.Find(AsCString(query.section), AsCString(query.key));
  if (!value) {
    // A default without quotation marks, trailing blanks or NUL comes back
    // as it is, cut to the buffer.
    const std::string_view plain = query.defaultValue;
    if (!plain.empty() && !IsQuoteMark(plain.front()) && plain.back() != ' ' &&
        plain.find('\0') == std::string_view::npos) {
      QUENDRIX_FUZZ_CHECK(answer == plain.substr(0, query.bufferSize - 1));
    }
    return;
  }

  // A value lies within one line, and its line was trimmed before it.
  QUENDRIX_FUZZ_CHECK(value->find_first_of(std::string_view("\r\n\0", 3)) ==
                      std::string_view::npos);
  QUENDRIX_FUZZ_CHECK(value->empty() || (value->front() != ' ' && value->front() != '\t'));
  // The default plays no part when the key is there.
  QUENDRIX_FUZZ_CHECK(answer == text.Read(query.section, query.key, "other default",
                                          query.bufferSize));
  if (value->empty() || !IsQuoteMark(value->front())) {
    QUENDRIX_FUZZ_CHECK(answer == value->substr(0, query.bufferSize - 1));
  } else {
    // With the quotation marks taken off, the answer is a piece of the value.
    QUENDRIX_FUZZ_CHECK(value->find(answer) != std::string_view::npos);
  }
}

// Queries the fuzzer did not have to guess: section headers and key names
// as they stand in the first lines of the file.
std::vector<Query> QueriesFromText(std::string_view bytes, std::size_t bufferSize) {
  std::vector<std::string_view> sections{std::string_view()};
  std::vector<std::string_view> keys;
  std::size_t pos = 0;
  for (int line = 0; line < 32 && pos < bytes.size(); ++line) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view text = bytes.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t open = text.find('[');
    const std::size_t close = text.rfind(']');
    if (open != std::string_view::npos && close != std::string_view::npos && close > open) {
      if (sections.size() < 4) sections.push_back(text.substr(open + 1, close - open - 1));
    } else if (keys.size() < 4) {
      keys.push_back(text.substr(0, text.find('=')));
    }
  }
  std::vector<Query> queries;
  for (const std::string_view section : sections) {
    for (const std::string_view key : keys) {
      queries.push_back({section, key, "not found", bufferSize});
    }
  }
  return queries;
}

// A private directory for the file the platform reader reads, made once per
// process and removed at its end.
class ScratchFile {
 public:
  ScratchFile() {
    char pattern[] = "/tmp/quendrix-profile-fuzz-XXXXXX";
    if (mkdtemp(pattern) != nullptr) {
      dir_ = pattern;
      path_ = dir_ + "/quendrix.ini";
    }
  }
  ~ScratchFile() {
    if (dir_.empty()) return;
    unlink(path_.c_str());
    rmdir(dir_.c_str());
  }
  bool Write(std::string_view bytes) const {
    if (path_.empty()) return false;
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
  }
  const std::string& path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  std::vector<Query> queries(input.Number(8));
  for (Query& query : queries) {
    query.section = input.Field();
    query.key = input.Field();
    query.defaultValue = input.Field();
    query.bufferSize = input.Number(70000);
  }
  const std::string_view bytes = input.Rest();

  const ProfileText text{std::string(bytes)};
  QUENDRIX_FUZZ_CHECK(text.bytes() == bytes);
  const std::size_t derivedBufferSize = queries.empty() ? 1024 : queries[0].bufferSize;
  for (const Query& query : QueriesFromText(bytes, derivedBufferSize)) {
    queries.push_back(query);
  }
  for (const Query& query : queries) CheckAnswer(text, query);

  // The platform reader answers from a file exactly as the parser answers
  // from its bytes, the second time (from its reused parse) as the first.
  static const ScratchFile scratch;
  if (!scratch.Write(bytes)) return 0;
  const quendrix::platform::Profile first(scratch.path());
  const quendrix::platform::Profile second(scratch.path());
  for (const Query& query : queries) {
    const std::string expected =
        text.Read(query.section, query.key, query.defaultValue, query.bufferSize);
    QUENDRIX_FUZZ_CHECK(first.Read(query.section, query.key, query.defaultValue,
                                   query.bufferSize) == expected);
    QUENDRIX_FUZZ_CHECK(second.Read(query.section, query.key, query.defaultValue,
                                    query.bufferSize) == expected);
  }
  return 0;
}
