// Windows: the profile reader is the system's own. Each section is listed
// once per Profile object, and every key of it is answered from that listing
// exactly as GetPrivateProfileStringA would answer it. The listing is what
// GetPrivateProfileSectionA gives: for a path and a section name of ASCII
// only, it is taken from GetPrivateProfileSectionW and converted as that
// function converts it, into a buffer kept between listings, which spares a
// large section the fresh memory that the ANSI function takes on every call.
// The system searches the whole file for every call, so one call per section
// instead of one per key is what keeps a lookup of a large section from
// growing with the square of its keys.
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
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "format/profile_value.h"
#include "format/section_listing.h"
#include "platform/platform.h"
#include "platform/win32/profile_wide.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {
namespace {

// A listing buffer starts as large as the whole file plus a little, which
// holds the listing of any of its sections: every line is listed at most
// once, trimmed, with one NUL in place of its line end, and a section cut
// short by a missing line end gains at most its final NUL. Only a listing
// that still does not fit (a file that grew in between) is listed into
// buffers four times larger each, up to kLargestListing characters.
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

std::size_t FirstListingSize(const std::string& path, TextEncoding encoding) {
  return std::max(kFirstListing, FileSize(path, encoding) + kListingSlack);
}

// The next buffer size after a listing of `length` characters did not fit
// into `size`, or 0 when the listing is to be given up: the system ran out of
// memory (a listing shorter than the last cut one) or the section is too
// large.
std::size_t NextListingSize(std::size_t size, std::size_t length,
                            std::size_t lastCut) {
  if (length < lastCut || size >= kLargestListing) return 0;
  return std::min(size * kListingGrowth, kLargestListing);
}

// A listing that does not fit comes back as size - 2 characters, and so does
// one that fits exactly; only a shorter one is known to be whole.
bool ListingIsWhole(std::size_t length, std::size_t size) {
  return length + 2 < size;
}

// The section's listing through the ANSI function, which converts the
// file's text to the ANSI code page itself; null when the section is too
// large to list or the system failed to list it whole.
std::unique_ptr<const SectionListing> ListSectionAnsi(
    const std::string& path, const std::string& section) {
  std::size_t size = FirstListingSize(path, TextEncoding::kSystem);
  std::size_t cut = 0;  // the length of the last listing that did not fit
  for (;;) {
    // Left uninitialized: the system writes what is read of it.
    const std::unique_ptr<char[]> buffer(new char[size]);
    const DWORD length = GetPrivateProfileSectionA(
        section.c_str(), buffer.get(), static_cast<DWORD>(size), path.c_str());
    if (length >= cut && ListingIsWhole(length, size)) {
      return std::make_unique<const SectionListing>(
          std::string(buffer.get(), length));
    }
    size = NextListingSize(size, length, cut);
    if (size == 0) return nullptr;
    cut = length;
  }
}

// The UTF-16 listing buffer, kept from one listing to the next. The heap
// hands a block as large as the listing of a big section back to the system
// when it is freed, and writing a fresh block costs a page fault per 4 KiB,
// which for a section of tens of thousands of keys costs more than listing
// it; the buffer kept here is written in place instead. It holds as many
// characters as the largest section listed lately (while the plug-in stays
// loaded), and a listing on another thread meanwhile uses a buffer of its
// own.
struct WideBuffer {
  std::unique_ptr<wchar_t[]> characters;
  std::size_t size = 0;
};

class SpareWideBuffer {
 public:
  WideBuffer Take(std::size_t size) {
    WideBuffer buffer;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      buffer = std::exchange(spare_, WideBuffer{});
    }
    if (buffer.size < size) {
      // Left uninitialized: the system writes what is read of it.
      buffer.characters.reset(new wchar_t[size]);
      buffer.size = size;
    }
    return buffer;
  }

  void GiveBack(WideBuffer buffer) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (buffer.size >= spare_.size) spare_ = std::move(buffer);
  }

 private:
  std::mutex mutex_;
  WideBuffer spare_;
};

SpareWideBuffer& SpareListingBuffer() {
  static SpareWideBuffer spare;
  return spare;
}

// The ANSI text as UTF-16, for a text of ASCII only, where every code page
// the system uses for ANSI agrees.
std::wstring WidenAscii(std::string_view text) {
  return std::wstring(text.begin(), text.end());
}

// The listing in the ANSI code page, converted as GetPrivateProfileSectionA
// converts it: ASCII stays as it is in every such code page, and the rest
// is the system's conversion.
std::string NarrowListing(const wchar_t* characters, std::size_t length) {
  std::string listing(length, '\0');
  std::size_t i = 0;
  for (; i < length && characters[i] < 0x80; ++i) {
    listing[i] = static_cast<char>(characters[i]);
  }
  if (i == length) return listing;
  const int needed = WideCharToMultiByte(CP_ACP, 0, characters,
                                         static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
  if (needed <= 0) return {};
  listing.resize(static_cast<std::size_t>(needed));
  WideCharToMultiByte(CP_ACP, 0, characters, static_cast<int>(length),
                      listing.data(), needed, nullptr, nullptr);
  return listing;
}

// The section's listing through the UTF-16 function into the kept buffer,
// for a path and section name given in UTF-16, turned into text by
// `narrow`; null when the section is too large to list or the system failed
// to list it whole.
std::unique_ptr<const SectionListing> ListSectionWide(
    const std::wstring& widePath, const std::wstring& wideSection,
    std::size_t firstSize,
    std::string (*narrow)(const wchar_t*, std::size_t)) {
  std::size_t size = firstSize;
  std::size_t cut = 0;  // the length of the last listing that did not fit
  SpareWideBuffer& spare = SpareListingBuffer();
  for (;;) {
    WideBuffer buffer = spare.Take(size);
    const std::size_t length = GetPrivateProfileSectionW(
        wideSection.c_str(), buffer.characters.get(), static_cast<DWORD>(size),
        widePath.c_str());
    if (length >= cut && ListingIsWhole(length, size)) {
      std::string listing = narrow(buffer.characters.get(), length);
      spare.GiveBack(std::move(buffer));
      if (length > 0 && listing.empty()) return nullptr;
      return std::make_unique<const SectionListing>(std::move(listing));
    }
    spare.GiveBack(std::move(buffer));
    size = NextListingSize(size, length, cut);
    if (size == 0) return nullptr;
    cut = length;
  }
}

std::string Utf8Listing(const wchar_t* characters, std::size_t length) {
  return win32::Utf8FromWide(std::wstring_view(characters, length));
}

// The section's listing, or null when the section is too large to list or
// the system failed to list it whole. Text in UTF-8 is listed by the wide
// function and turned into UTF-8; ANSI text of ASCII only is listed by the
// wide function too, into the kept buffer, and converted as the ANSI
// function converts it; other ANSI text is listed by the ANSI function.
std::unique_ptr<const SectionListing> ListSection(const std::string& path,
                                                  const std::string& section,
                                                  TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) {
    return ListSectionWide(win32::WideFromUtf8(path), win32::WideFromUtf8(section),
                           FirstListingSize(path, encoding), Utf8Listing);
  }
  if (IsAscii(path) && IsAscii(section)) {
    return ListSectionWide(WidenAscii(path), WidenAscii(section),
                           FirstListingSize(path, encoding), NarrowListing);
  }
  return ListSectionAnsi(path, section);
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

}  // namespace

struct Profile::Impl {
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
