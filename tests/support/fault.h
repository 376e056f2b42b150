// What one row of a fault table keeps in place while it runs.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quendrix::testing {

// The objects that hold a fault up (a file held open, a path made
// unreadable) until the Fault is reset, or the reason why this system cannot
// make the fault at all.
struct Fault {
  Fault() = default;
  explicit Fault(std::shared_ptr<void> holder) : hold(std::move(holder)) {}
  static Fault Skip(std::string_view reason) {
    Fault fault;
    fault.skipReason = std::string(reason);
    return fault;
  }

  std::shared_ptr<void> hold;
  std::optional<std::string> skipReason;
};

}  // namespace quendrix::testing
