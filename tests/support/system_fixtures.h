// Operating-system set-ups that the runner and log tests need around the code
// under test; one implementation for POSIX, one for Windows.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

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

// Makes an existing file impossible for this process to open for reading,
// for the fixture's lifetime, and puts it back as it was afterwards. Windows:
// the file is held open without any sharing, as another program may hold
// it. POSIX: its permission bits are cleared; a process that passes every
// permission check (root, as tests often run) can still open it, so the path
// is then swapped for a symbolic link to itself, which nobody can open.
class UnreadableFile {
 public:
  explicit UnreadableFile(const std::string& path);
  ~UnreadableFile();
  UnreadableFile(const UnreadableFile&) = delete;
  UnreadableFile& operator=(const UnreadableFile&) = delete;

  bool IsUnreadable() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Takes away the right to make files in an existing directory for the
// fixture's lifetime. POSIX: its write permission bits are cleared, which
// does not stop a process that passes every permission check (root); Windows
// lets anyone make files in a directory marked read-only. IsReadOnly tells
// whether a file could still be made there.
class ReadOnlyDirectory {
 public:
  explicit ReadOnlyDirectory(const std::string& path);
  ~ReadOnlyDirectory();
  ReadOnlyDirectory(const ReadOnlyDirectory&) = delete;
  ReadOnlyDirectory& operator=(const ReadOnlyDirectory&) = delete;

  bool IsReadOnly() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Makes a named pipe at `path` that no program writes to, so that opening it
// for reading would wait for ever; false where the file system has none.
bool MakeNamedPipe(const std::string& path);

// Gives the folder at `path` to another user (POSIX: the user "nobody");
// false where this process cannot, or the system has no such owners.
bool GiveFolderToAnotherUser(const std::string& path);

// Makes `path` a file that opens as a regular file and whose every read
// fails; false where the platform offers no such file.
bool MakeFileWhoseReadsFail(const std::string& path);

// Writes `bytes` over the existing file at `path`, then puts its access and
// modification times back as they were before, as some copy and sync tools
// do; false when the file or its times cannot be written.
bool RewriteKeepingTimes(const std::string& path, std::string_view bytes);

// Why MakeNamedPipe or MakeFileWhoseReadsFail cannot be had here.
std::string_view NoSuchFileHere();

// Whether a file held by ExclusiveHold can still be read by others: advisory
// locks (POSIX) do not keep readers out; a Windows share mode of 0 does.
bool ExclusiveHoldAllowsReading();

// Whether the process `pid` has ended. A process that has ended but was not
// reaped counts as ended: a killed grandchild whose parent is gone stays so
// for good where no first process reaps orphans.
bool ProcessHasEnded(long pid);

// How many handles (Windows) or descriptors (POSIX) the test process holds
// open now, so that a test can show that a call closes all it opened.
std::size_t OpenHandleCount();

}  // namespace quendrix::testing
