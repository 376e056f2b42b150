// The operating-system layer of quendrix: free functions over files, the
// profile reader, the module's own location and the archive's time stamp.
//
// Everything above this header is pure logic. The implementations live in
// src/platform/win32/ (the Windows calls exactly as the plug-in's design names
// them) and src/platform/posix/ (our own layer in their place); CMake compiles
// one of the two directories. The last two sections, the console and loading
// a plug-in, serve the host and the tests only: their implementations form a
// library of their own (quendrix_host_platform) that the plug-in does not
// link, so that a call to them from the plug-in's code fails at link time
// rather than adding the system DLLs they need to the plug-in's imports.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix::platform {

// How paths are written. The logic takes the style as a value, so that both
// styles are tested on any machine; kPathStyle is the one of this build.
enum class PathStyle { kWindows, kPosix };

constexpr char SeparatorOf(PathStyle style) {
  return style == PathStyle::kWindows ? '\\' : '/';
}

#ifdef _WIN32
inline constexpr PathStyle kPathStyle = PathStyle::kWindows;
#else
inline constexpr PathStyle kPathStyle = PathStyle::kPosix;
#endif
inline constexpr char kPathSeparator = SeparatorOf(kPathStyle);

// The file name under which hosts of this platform look for the plug-in.
#if defined(_WIN64)
inline constexpr std::string_view kPluginFileName = "quendrix.wcx64";
#else
inline constexpr std::string_view kPluginFileName = "quendrix.wcx";
#endif

// ---------------------------------------------------------------------------
// Text encodings.

// How the text given to and taken from the functions below is written.
// kSystem is the system's own: the ANSI code page on Windows, the bytes of
// file names elsewhere. kUtf8 is UTF-8 as format/utf16_text.h writes UTF-16
// (unpaired surrogates included): on Windows it reaches the wide (W) system
// functions, so that a name no code page can write still names its file;
// elsewhere it is the system's own text as well.
enum class TextEncoding { kSystem, kUtf8 };

// `utf8` in the system's encoding when every character of it has an exact
// form there (on Windows: no best-fit character and no default character
// needed); nothing otherwise.
std::optional<std::string> SystemTextIfExact(std::string_view utf8);

// `utf8` in the system's encoding; a character without a form there becomes
// the system's default character ("?" on Windows).
std::string SystemTextFromUtf8(std::string_view utf8);

// Text in the system's encoding as UTF-8.
std::string Utf8FromSystemText(std::string_view text);

// ---------------------------------------------------------------------------
// The module's own directory.

// Directory of the loaded module that `module` identifies, ending in the path
// separator; empty when it cannot be had. On Windows `module` is the module
// handle the loader passed to the entry routine; elsewhere it is any address
// inside the module.
std::string ModuleDirectory(const void* module,
                            TextEncoding encoding = TextEncoding::kSystem);

// Directory of the running executable, ending in the path separator.
std::string ExecutableDirectory(TextEncoding encoding = TextEncoding::kSystem);

// ---------------------------------------------------------------------------
// Profile (INI) files.

// One view of a profile file for the span of one rules lookup, used on one
// thread. The Windows profile functions are the reference for how rules files
// are read. On Windows the system lists each section the first time a key of
// it is asked for, and the keys of that section are answered from the
// listing, so that a lookup sees one version of each section. Elsewhere the
// file is read once, when the object is made, so that a lookup never mixes two
// versions of a file that is being saved, and every Read answers from that
// snapshot with the same rules as the Windows reader.
class Profile {
 public:
  // The file at `path`, written in `encoding`; on Windows, a profile opened
  // with UTF-8 text is read by the wide profile functions and gives UTF-8.
  explicit Profile(const std::string& path,
                   TextEncoding encoding = TextEncoding::kSystem);
  ~Profile();
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  // The value of `key` in `section`, or `defaultValue` when the file, the
  // section or the key is missing; cut to bufferSize - 1 characters, as a
  // buffer of bufferSize bytes would hold it.
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue,
                   std::size_t bufferSize) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------------------
// File times.

// Calendar components of a local time, as the Windows SYSTEMTIME gives them.
struct CalendarTime {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  std::int32_t second = 0;
};

// Reads the file's last-write time as local calendar components into `time`;
// leaves `time` untouched when the path is empty, holds a wildcard or cannot
// be opened for reading. The file is opened for reading only and shared for
// reading and writing, and is closed before the call returns.
void GetArchiveFileTime(const std::string& path, CalendarTime& time,
                        TextEncoding encoding = TextEncoding::kSystem);

// The file's last-write time as seconds since 1970-01-01 UTC; nothing when the
// file cannot be examined.
std::optional<std::int64_t> FileModifiedUnixSeconds(const std::string& path);

// The local calendar time of an instant given in seconds since 1970.
CalendarTime LocalCalendarTime(std::int64_t unixSeconds);

// The instant of a local calendar time in seconds since 1970 (the time
// zone's rules of that day applied); nothing when the system cannot place
// it.
std::optional<std::int64_t> UnixSecondsOfLocalTime(const CalendarTime& time);

// Sets the file's last-write time; false when it cannot be set.
bool SetFileModifiedUnixSeconds(const std::string& path, std::int64_t seconds);

// How the hosts of this platform read the FileTime field of a header record:
// Windows hosts as a packed DOS date/time, Linux hosts as Unix seconds.
enum class HeaderTimeKind { kDosDateTime, kUnixSeconds };
#ifdef _WIN32
inline constexpr HeaderTimeKind kHeaderTimeKind = HeaderTimeKind::kDosDateTime;
#else
inline constexpr HeaderTimeKind kHeaderTimeKind = HeaderTimeKind::kUnixSeconds;
#endif

// ---------------------------------------------------------------------------
// Starting programs.

// What became of a request to start a program. "Not started" is kept apart
// from the exit code, because a program that ran and returned 0 and a program
// that could not be started at all call for different answers to the host.
struct ProcessOutcome {
  bool started = false;
  // After a wait: the exit code (on POSIX, 128 + the signal number when a
  // signal ended the program). Without a wait: the process identifier.
  // 0 when nothing was started.
  std::uint32_t value = 0;
  // The watch asked to stop the program, and it and every process it
  // started were ended.
  bool stopped = false;
  // POSIX: the signal that ended the program, 0 when it exited by itself.
  // Kept apart from `value`, since a program may also exit with 128 + n.
  std::int32_t signal = 0;
  // The last kErrorOutputLimit bytes the program wrote to its standard
  // error, where its output is hidden and the platform keeps them (POSIX,
  // show state 0); empty elsewhere. The programs of a pipeline share it.
  std::string errorOutput;
  // How many programs the command line joined (POSIX pipelines; 1
  // elsewhere), and which of them (from 0) the outcome speaks of: the one
  // that could not be started, or the last one, counted from the left, of
  // those that failed (as the shell's pipefail tells), whose status and
  // signal `value` and `signal` then are; -1 when every program succeeded.
  std::int32_t stageCount = 1;
  std::int32_t failedStage = -1;
  // The program of `failedStage` as it was to be started.
  std::string program;
  // The programs of a pipeline before `failedStage` that failed too, from
  // the left, each with its status or signal. A program that fails early
  // leaves those after it little to read, so that they often fail after
  // it: the words on the shared standard error are most often the first
  // one's.
  struct StageEnd {
    std::int32_t stage = 0;
    std::string program;
    std::uint32_t value = 0;
    std::int32_t signal = 0;
  };
  std::vector<StageEnd> earlierFailures;
  // Why nothing could be started, in the system's words ("No such file or
  // directory"), or what keeps the line from running at all; empty when the
  // programs started.
  std::string startError;

  // A program that was started and, after a wait, ended with `value`
  // (without a wait: whose identifier is `value`).
  static ProcessOutcome Started(std::uint32_t value) {
    ProcessOutcome outcome;
    outcome.started = true;
    outcome.value = value;
    return outcome;
  }
  // A watched program that was ended on the watch's word.
  static ProcessOutcome Stopped() {
    ProcessOutcome outcome = Started(0);
    outcome.stopped = true;
    return outcome;
  }
};

// How much of a hidden program's standard error is kept: the end of it,
// where a failing program says why.
inline constexpr std::size_t kErrorOutputLimit = 2048;

// Someone who waits for a program and may want it gone before it ends.
struct ProcessWatch {
  // How long the runner waits between two calls of keepRunning.
  std::chrono::milliseconds interval{100};
  // Called every interval while the program runs; false ends the program
  // and every process it started.
  std::function<bool()> keepRunning;
};

// How long a program asked to stop may take to end by itself before it is
// ended for good.
inline constexpr std::chrono::milliseconds kStopGrace{2000};

// Starts the program that `commandLine` names, with the window show state
// `showState`, no inherited handle, the host's environment and current
// directory; with `wait`, blocks without a time limit until it has ended.
// On Windows the command line goes to CreateProcessA as it is (CreateProcessW
// for UTF-8 text). On POSIX it is read by ParseCommandLine
// (format/command_pipeline.h): each program of the pipeline is started
// directly, the first word of its stage naming it (searched in PATH when it
// holds no "/"), each one's standard output joined to the next one's
// standard input by a pipe. The first reads the file of a < (else
// /dev/null); the last writes into the file of a > (created, or emptied),
// else, with show state 0, into /dev/null. With show state 0 the standard
// error of every program goes into one pipe that is drained while they run,
// of which the outcome keeps the end (errorOutput) after a wait. A line with
// a syntax problem, or whose files cannot be opened, starts nothing. When a
// program of a pipeline cannot be started, those started before it are
// ended. After a wait, the outcome is a failure when any program failed.
//
// With a `watch` (which implies a wait), the programs start in a group of
// their own (a POSIX process group, headed by the first; a Windows job
// object), so that everything they start can be ended with them: when the
// watch says stop, the group is asked to end (SIGTERM), ended for good after
// kStopGrace (SIGKILL; Windows ends the job at once), and waited for.
ProcessOutcome RunProcess(const std::string& commandLine,
                          std::uint32_t showState, bool wait,
                          const ProcessWatch* watch = nullptr,
                          TextEncoding encoding = TextEncoding::kSystem);

// Whether a program the system can start is at `path`: on POSIX a regular
// file that may be executed, on Windows any file that is not a folder.
bool IsProgramFile(const std::string& path,
                   TextEncoding encoding = TextEncoding::kSystem);

// Whether the folder at the first path may hold an entry of the second
// name: false only where it is known not to, so that the system need not
// be asked.
using FolderMayHold = std::function<bool(const std::string& folder, const std::string& name)>;

// The full path of the program that a bare name (one without a folder)
// starts from the system's search path: on POSIX the first executable file
// of that name in a folder of PATH (an empty entry is the current folder;
// without PATH, /bin:/usr/bin), as execvp looks; on Windows the file that
// SearchPathW finds, with ".exe" added to a name without an extension.
// Nothing when there is none. On POSIX a folder that `mayHold`, when given,
// rules out is passed over without asking the system (the rules check,
// which asks for many names in the same few folders, answers from one
// listing of each); SearchPathW searches without it.
std::optional<std::string> FindProgramOnPath(
    const std::string& name, TextEncoding encoding = TextEncoding::kSystem,
    const FolderMayHold& mayHold = nullptr);

// What a program wrote to its standard output, read into memory: the list
// of members that a rules section's list program prints.
struct CapturedOutput {
  // How the program (every program of a POSIX pipeline) ended; after a cut
  // or a time-out it was ended by the host, and `outcome.stopped` is set.
  ProcessOutcome outcome;
  // The first `limit` bytes it wrote, at most.
  std::string output;
  // It wrote more than `limit` bytes; it was ended once the limit was read.
  bool cut = false;
  // It ran longer than the time limit and was ended.
  bool timedOut = false;
};

// Runs `commandLine` as RunProcess runs it with show state 0 and a wait,
// with its standard output going into a pipe that the host reads while it
// runs, and its standard error kept as RunProcess keeps it
// (outcome.errorOutput). Nothing else of the host reaches the program: on
// Windows the two pipe ends and the null device are the only handles it
// inherits, by an explicit handle list (PROC_THREAD_ATTRIBUTE_HANDLE_LIST);
// on POSIX every other descriptor is closed. The programs run in a group of
// their own (a process group; a job object), which is ended, everything the
// programs started included, when `timeout` passes or when the output
// exceeds `limit` bytes. The run ends with the programs, with what the pipe
// holds then: what they leave running is not waited for (on Windows it
// ends with the job).
CapturedOutput RunCapturingOutput(const std::string& commandLine, std::size_t limit,
                                  std::chrono::milliseconds timeout,
                                  TextEncoding encoding = TextEncoding::kSystem);

// ---------------------------------------------------------------------------
// The state of a file, to tell whether it changed: whether a program wrote
// it, whether a list or a made member of it is still its own, whether a
// rules file was edited. Every such question is answered by this one.

struct FileState {
  std::int64_t size = 0;
  // The last write, in the system's own units (POSIX: nanoseconds since
  // 1970; Windows: 100-nanosecond intervals since 1601).
  std::int64_t modified = 0;
  // The last change of its content or its attributes (POSIX: the status
  // change time; Windows: the change time), which no program can set back.
  std::int64_t changed = 0;
  // Which file this is (device and inode; volume and file index), so that a
  // file replaced by another of the same size and time still shows.
  std::uint64_t identity = 0;

  bool operator==(const FileState&) const = default;
};

// The state of the regular file at `path`; nothing when there is none.
std::optional<FileState> StateOfFile(
    const std::string& path, TextEncoding encoding = TextEncoding::kSystem);

// Removes the file at `path`; false when it cannot be removed.
bool RemoveFile(const std::string& path,
                TextEncoding encoding = TextEncoding::kSystem);

// Whether something other than a directory exists at `path`: the one
// question asked of each place a rules file may lie, so it is answered from
// the file's attributes alone, without opening it.
bool FileExists(const std::string& path,
                TextEncoding encoding = TextEncoding::kSystem);

// Whether a directory exists at `path`.
bool FolderExists(const std::string& path,
                  TextEncoding encoding = TextEncoding::kSystem);

// Who may use a folder that MakeDirectories makes (POSIX; Windows folders
// take their parent's permissions).
enum class FolderAccess {
  kOwnerOnly,  // as a user's configuration folder should be
  kAsUsual,    // as the user's umask allows, as for any folder a user makes
};

// Makes the directory `path` and every missing directory above it, with
// `access`; true when the directory exists afterwards.
bool MakeDirectories(const std::string& path,
                     TextEncoding encoding = TextEncoding::kSystem,
                     FolderAccess access = FolderAccess::kOwnerOnly);

// ---------------------------------------------------------------------------
// Files of the cache of made members.

// An exclusive lock on a file (flock; LockFileEx), held while the object
// lives. Locks of two objects conflict also within one process, so two
// threads of a host keep apart as two hosts do.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock on `path` (made, readable by its owner alone, when it
  // is missing) when no one holds it; IsHeld tells whether it was taken.
  // `busy`, when given, tells why not: another holds it (true), or the file
  // cannot be opened at all (false), which waiting does not mend.
  static FileLock TryTake(const std::string& path,
                          TextEncoding encoding = TextEncoding::kSystem,
                          bool* busy = nullptr);
  bool IsHeld() const { return handle_ != kNone; }

 private:
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t handle_ = kNone;
};

struct FolderEntry {
  std::string name;
  std::int64_t size = 0;
  std::int64_t modifiedUnixSeconds = 0;
};

// The regular files of a folder; nothing when it cannot be read.
std::optional<std::vector<FolderEntry>> ListFolder(
    const std::string& path, TextEncoding encoding = TextEncoding::kSystem);

enum class CopyOutcome { kCopied, kStopped, kFailed };

// Copies the first `length` bytes of the file `from` into the file `to`,
// made anew (on POSIX readable by its owner alone when `private` is set),
// as fast as the file system allows: a reflink of the whole file cut to
// `length` where the file system has reflinks (FICLONE), else
// copy_file_range; CopyFileExW on Windows. `progress`, when set, is called
// with the bytes copied so far now and then and at the end; false stops the
// copy, and `to` is removed. A failed copy removes `to` too.
CopyOutcome CopyFilePrefix(const std::string& from, const std::string& to,
                           std::int64_t length,
                           const std::function<bool(std::int64_t)>& progress,
                           bool privateFile,
                           TextEncoding encoding = TextEncoding::kSystem);

// Appends `bytes` to the file at `path`; false when not all of them reached
// it.
bool AppendBytes(const std::string& path, std::string_view bytes,
                 TextEncoding encoding = TextEncoding::kSystem);

// The last `count` bytes of the file at `path` and its size; nothing when
// it cannot be read or is shorter.
struct FileTail {
  std::string bytes;
  std::int64_t size = 0;
};
std::optional<FileTail> ReadFileTail(const std::string& path, std::size_t count,
                                     TextEncoding encoding = TextEncoding::kSystem);

// Renames `from` to `to`, replacing a file there, in one step that no
// reader sees half done; false when the system refuses.
bool RenameReplacing(const std::string& from, const std::string& to,
                     TextEncoding encoding = TextEncoding::kSystem);

// Sets the file's last-write time to now; false when it cannot be set.
bool TouchFile(const std::string& path, TextEncoding encoding = TextEncoding::kSystem);

// The bytes free for this user on the file system of `path`; nothing when
// the file system does not tell.
std::optional<std::uint64_t> FreeSpaceAt(const std::string& path,
                                         TextEncoding encoding = TextEncoding::kSystem);

// Makes `path` a folder of this user's alone, with the folders above it: on
// POSIX created 0700; an existing one must be a real folder (not a link)
// owned by this user, and is then made 0700 if it was not. Nothing when it
// is ready; else why it cannot be used, in words for a warning.
std::optional<std::string> MakePrivateFolder(const std::string& path,
                                             TextEncoding encoding = TextEncoding::kSystem);

// ---------------------------------------------------------------------------
// Appending to a shared text file.

enum class AppendOutcome {
  kWritten,  // the text and the line end were handed to the file
  kBusy,     // another writer holds the file at this moment; nothing written
  kFailed,   // the file cannot be opened or positioned; nothing written
};

// Appends `text` and then CR LF to the file at `path`, creating it when it is
// missing and never truncating it. The file is held exclusively from the open
// to the close, so that the lines of two writers never mix. A write that
// fails loses what it did not write; the line end is still attempted. The
// text is written as its bytes stand; `pathEncoding` is that of the path.
AppendOutcome AppendLine(const std::string& path, std::string_view text,
                         TextEncoding pathEncoding = TextEncoding::kSystem);

// ---------------------------------------------------------------------------
// Environment variables and short paths.

// The value of the process environment variable `name`; empty when it is not
// set. The Windows environment ignores the case of names; the Linux one does
// not. Name and value are written in `encoding`.
std::string EnvironmentValue(const std::string& name,
                             TextEncoding encoding = TextEncoding::kSystem);

// The value of the environment variable `name` that names a folder, in
// `encoding`; empty when it is not set. On Windows it is read through the
// wide function, so that any user name comes through: for the system's
// encoding it is given in its exact form there, else as its short (8.3) form,
// else (when neither exists) as empty text, since a path with characters
// replaced would name another folder.
std::string EnvironmentPath(const std::string& name,
                            TextEncoding encoding = TextEncoding::kSystem);

// Sets the process environment variable `name` to `value` (both written in
// `encoding`), or removes it when there is no value, so that EnvironmentValue
// sees the change (in every module of the process); false when the system
// refuses.
bool SetEnvironmentValue(const std::string& name,
                         const std::optional<std::string>& value,
                         TextEncoding encoding = TextEncoding::kSystem);

// The longest short path in characters: the system's result buffer holds 260
// of them (bytes, or UTF-16 units for UTF-8 text).
inline constexpr std::size_t kShortPathLimit = 259;

// The short (8.3) form of `path`; empty when the system gives none or when it
// would not fit in kShortPathLimit characters. Linux has no short names: there
// an existing file or directory is its own short form.
std::string ShortPathOf(const std::string& path,
                        TextEncoding encoding = TextEncoding::kSystem);

// ---------------------------------------------------------------------------
// The console (quendrix_host_platform: the host's, never the plug-in's).

// True when standard error is a terminal (a console on Windows), where a
// person watches, rather than a file or a pipe read by a program.
bool StandardErrorIsTerminal();

// The program's arguments after its name, in UTF-8: on Windows split from the
// wide command line (CommandLineToArgvW), so that no character of a name is
// lost to the ANSI code page; elsewhere `argv` as it stands.
std::vector<std::string> ProgramArguments(int argc, char** argv);

enum class StandardStream { kOutput, kError };

// Writes the UTF-8 `text` to standard output or error: to a Windows console
// through WriteConsoleW, so that every character shows as itself; anywhere
// else as its UTF-8 bytes.
void WriteStandardText(StandardStream stream, std::string_view text);

// From now on, the first Ctrl+C (SIGINT; on a Windows console Ctrl+C or
// Ctrl+Break) only sets a flag that InterruptRequested reads, so that the
// host can wind down in order; a second one ends the process as usual, for
// a plug-in that never gives the host a chance to stop.
void CatchInterrupt();

// Whether a Ctrl+C came since CatchInterrupt.
bool InterruptRequested();

// ---------------------------------------------------------------------------
// Loading a plug-in (quendrix_host_platform: the host's and the tests',
// never the plug-in's).

class Library {
 public:
  Library() = default;
  ~Library();
  Library(Library&& other) noexcept;
  Library& operator=(Library&& other) noexcept;
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // Loads the library at `path`; on failure returns an empty Library and puts
  // the system's reason into `error`.
  static Library Open(const std::string& path, std::string& error,
                      TextEncoding encoding = TextEncoding::kSystem);

  bool IsOpen() const { return handle_ != nullptr; }
  void* Symbol(const char* name) const;

 private:
  void* handle_ = nullptr;
};

}  // namespace quendrix::platform
