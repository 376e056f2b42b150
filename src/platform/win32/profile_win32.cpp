// Windows: the profile reader is the system's own. Each section is listed
// once per Profile object by GetPrivateProfileSectionA, and every key of it
// is answered from that listing exactly as GetPrivateProfileStringA would
// answer it. The system searches the whole file for every call, so one call
// per section instead of one per key is what keeps a lookup of a large
// section from growing with the square of its keys.
//
// A few answers cannot be told from a listing, and those keys are asked of
// GetPrivateProfileStringA one by one:
// - a key whose name starts with ";": the listing leaves out such lines,
//   which the system takes for comments, yet it still finds them by name;
// - a key asked for, or a key listed in the section, whose name holds a byte
//   outside ASCII: the system matches such names without regard to case by
//   rules of its code page, and ours fold ASCII letters only;
// - a section asked for whose name starts or ends with a byte outside ASCII:
//   the system trims the name it is asked for, and whether such a byte is
//   white space to it is its code page's business;
// - an answer (value or default) that holds a byte outside ASCII while the
//   ANSI code page has characters of more than one byte: the system cuts the
//   answer in UTF-16 units before converting it, not in bytes;
// - a section whose listing outgrows kLargestListing, or which the system
//   fails to list whole.
//
// A profile of UTF-8 text is read the same way through the wide functions,
// GetPrivateProfileSectionW and GetPrivateProfileStringW, which read ANSI
// and UTF-16 files alike; its listing is turned into UTF-8, and since the
// system cuts answers in UTF-16 units, an answer outside ASCII is always
// asked of the system.
#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "format/profile_value.h"
#include "format/section_listing.h"
#include "platform/platform.h"
#include "platform/win32/profile_wide.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {
namespace {

// The first listing buffer holds any ordinary rules section. A section that
// does not fit is listed again into a buffer as large as the whole file plus
// a little, which holds its listing: every line is listed at most once,
// trimmed, with one NUL byte in place of its line end. Only a listing that
// still does not fit (a file that grew in between) is listed into buffers
// four times larger each, up to kLargestListing.
constexpr std::size_t kFirstListing = std::size_t{64} << 10;
constexpr std::size_t kListingSlack = 16;
constexpr std::size_t kLargestListing = std::size_t{32} << 20;
constexpr std::size_t kListingGrowth = 4;

std::size_t FileSize(const std::string& path, TextEncoding encoding) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const BOOL known =
      encoding == TextEncoding::kUtf8
          ? GetFileAttributesExW(win32::WideFromUtf8(path).c_str(),
                                 GetFileExInfoStandard, &data)
          : GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  if (known == 0) return 0;
  return (static_cast<std::size_t>(data.nFileSizeHigh) << 16 << 16) |
         data.nFileSizeLow;
}

// The section's listing, or null when the section is too large to list or
// the system failed to list it whole.
// One listing of the section into a buffer of `size` characters: its length
// in characters, and its text in `encoding`.
std::pair<DWORD, std::string> ListOnce(const std::string& path,
                                       const std::string& section,
                                       std::size_t size, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) {
    const std::unique_ptr<wchar_t[]> buffer(new wchar_t[size]);
    const DWORD length = GetPrivateProfileSectionW(
        win32::WideFromUtf8(section).c_str(), buffer.get(),
        static_cast<DWORD>(size), win32::WideFromUtf8(path).c_str());
    return {length, win32::Utf8FromWide(std::wstring_view(buffer.get(), length))};
  }
  // Left uninitialized: the system writes what is read of it.
  const std::unique_ptr<char[]> buffer(new char[size]);
  const DWORD length = GetPrivateProfileSectionA(
      section.c_str(), buffer.get(), static_cast<DWORD>(size), path.c_str());
  return {length, std::string(buffer.get(), length)};
}

std::unique_ptr<const SectionListing> ListSection(const std::string& path,
                                                  const std::string& section,
                                                  TextEncoding encoding) {
  std::size_t size = kFirstListing;
  DWORD cut = 0;  // the length of the last listing that did not fit
  for (;;) {
    auto [length, text] = ListOnce(path, section, size, encoding);
    // A listing that does not fit comes back as size - 2 characters, and so
    // does one that fits exactly; only a shorter one is known to be whole.
    if (length < cut) return nullptr;  // the system ran out of memory
    if (length + 2 < size) {
      return std::make_unique<const SectionListing>(std::move(text));
    }
    if (size >= kLargestListing) return nullptr;
    const std::size_t whole =
        cut == 0 ? FileSize(path, encoding) + kListingSlack : 0;
    size = std::min(whole > size ? whole : size * kListingGrowth,
                    kLargestListing);
    cut = length;
  }
}

bool MultiByteCodePage() {
  CPINFO info{};
  return GetCPInfo(CP_ACP, &info) == 0 || info.MaxCharSize > 1;
}

bool EdgesOutsideAscii(std::string_view text) {
  return !text.empty() && (!IsAscii(text.substr(0, 1)) ||
                           !IsAscii(text.substr(text.size() - 1)));
}

std::string ReadKeyFromSystem(const std::string& path, std::string_view section,
                              std::string_view key,
                              std::string_view defaultValue,
                              std::size_t bufferSize) {
  // The A functions take zero-terminated texts.
  const std::string sectionText(section);
  const std::string keyText(key);
  const std::string defaultText(defaultValue);
  std::vector<char> buffer(bufferSize, '\0');
  const DWORD length = GetPrivateProfileStringA(
      sectionText.c_str(), keyText.c_str(), defaultText.c_str(), buffer.data(),
      static_cast<DWORD>(bufferSize), path.c_str());
  return std::string(buffer.data(),
                     length < bufferSize ? length : bufferSize - 1);
}

// Orders section names without regard to ASCII case: two names that differ
// only so are one section to the system, whatever else it folds.
struct FoldedLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](char x, char y) { return FoldAsciiCase(x) < FoldAsciiCase(y); });
  }
  static unsigned char FoldAsciiCase(char c) {
    return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
};

}  // namespace

struct Profile::Impl {
  std::string path;
  TextEncoding encoding = TextEncoding::kSystem;
  // Whether the system may cut an answer outside ASCII elsewhere than after
  // its bytes: always so for UTF-8 text.
  bool multiByteText = MultiByteCodePage();
  // By the section's name as asked, trimmed; null where keys are asked of
  // the system one by one.
  std::map<std::string, std::unique_ptr<const SectionListing>, FoldedLess>
      listings;

  const SectionListing* ListingOf(std::string_view section) {
    auto found = listings.find(section);
    if (found == listings.end()) {
      const std::string name(section);
      found = listings.emplace(name, ListSection(path, name, encoding)).first;
    }
    return found->second.get();
  }
};

Profile::Profile(const std::string& path, TextEncoding encoding)
    : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  impl_->encoding = encoding;
  if (encoding == TextEncoding::kUtf8) impl_->multiByteText = true;
}

Profile::~Profile() = default;

std::string Profile::Read(std::string_view section, std::string_view key,
                          std::string_view defaultValue,
                          std::size_t bufferSize) const {
  if (bufferSize == 0) return {};
  const std::string_view sectionName = TrimProfileName(UpToNul(section));
  const std::string_view keyName = TrimProfileName(UpToNul(key));
  const auto fromSystem = [&] {
    return impl_->encoding == TextEncoding::kUtf8
               ? win32::ReadWideProfileString(impl_->path, section, key,
                                              defaultValue, bufferSize)
               : ReadKeyFromSystem(impl_->path, section, key, defaultValue,
                                   bufferSize);
  };
  if (EdgesOutsideAscii(sectionName) || keyName.starts_with(';') ||
      !IsAscii(keyName)) {
    return fromSystem();
  }
  const SectionListing* listing = impl_->ListingOf(sectionName);
  if (listing == nullptr || listing->HasNamesOutsideAscii()) {
    return fromSystem();
  }
  const KeyIndex::Key* found = listing->Find(keyName);
  const std::optional<std::string_view> value =
      found != nullptr ? found->value : std::nullopt;
  if (impl_->multiByteText && !IsAscii(value ? *value : defaultValue)) {
    return fromSystem();
  }
  return ProfileAnswer(value, defaultValue, bufferSize);
}

}  // namespace quendrix::platform
