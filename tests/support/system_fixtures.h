// Operating-system set-ups that the runner and log tests need around the code
// under test; one implementation for POSIX, one for Windows.
#pragma once

#include <memory>
#include <string>

namespace quendrix::testing {

// A file opened so that every program the test process starts would inherit
// it, unless the starter keeps it back: without O_CLOEXEC on POSIX, with
// HANDLE_FLAG_INHERIT on Windows.
class InheritableFile {
 public:
  explicit InheritableFile(const std::string& path);
  ~InheritableFile();
  InheritableFile(const InheritableFile&) = delete;
  InheritableFile& operator=(const InheritableFile&) = delete;

  bool IsOpen() const;
  // The descriptor number or handle value, as the helper's --probe takes it.
  std::string Value() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Sets an environment variable of the test process for its lifetime.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(std::string name, const std::string& value);
  ~ScopedEnvironmentVariable();
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::string name_;
};

// Holds a file the way another writer of the log holds it while it writes a
// line: opened with share mode 0 on Windows, locked with an exclusive flock
// on another open file description on POSIX.
class ExclusiveHold {
 public:
  explicit ExclusiveHold(const std::string& path);
  ~ExclusiveHold();
  ExclusiveHold(const ExclusiveHold&) = delete;
  ExclusiveHold& operator=(const ExclusiveHold&) = delete;

  bool IsHeld() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quendrix::testing
