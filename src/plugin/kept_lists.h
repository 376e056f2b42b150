// The lists of members that list programs printed, kept for the same file
// and the same command, so that a host that opens a file again (Double
// Commander does on every refresh of its panel) runs nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "format/member_list.h"
#include "platform/platform.h"

namespace quendrix {

// Past this many lists the one used longest ago goes.
inline constexpr std::size_t kKeptListings = 64;

// What makes a list the same: the file, as the system tells it apart (its
// path, size, modification and change times and identity), the encoding of
// the session the names are written in, and the list command as expanded.
struct ListKey {
  platform::TextEncoding encoding = platform::TextEncoding::kSystem;
  std::string archivePath;
  platform::FileState file;
  std::string command;

  bool operator==(const ListKey&) const = default;
};

// A list as a session shows it: the names taken, in the session's encoding
// with the host's separator, and the one warning about what was not.
struct Listing {
  MemberListing members;
  std::string warning;
  // The FileTime of each member whose list gave its time, in this
  // platform's form (see HeaderTimeOf); 0 for the others.
  std::vector<std::uint32_t> headerTimes;
};

// The lists kept, the one used last first. Every member function may be
// called from several threads at once.
class KeptLists {
 public:
  explicit KeptLists(std::size_t capacity = kKeptListings) : capacity_(capacity) {}

  std::shared_ptr<const Listing> Find(const ListKey& key);
  void Keep(ListKey key, std::shared_ptr<const Listing> listing);

 private:
  struct Kept {
    ListKey key;
    std::shared_ptr<const Listing> listing;
  };

  const std::size_t capacity_;
  std::mutex mutex_;
  // The most recently used first.
  std::list<Kept> kept_;
};

}  // namespace quendrix
