// POSIX: the test helper's view of its descriptors, input and signals.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "helper_system.h"

namespace quendrix::helper {
namespace {

constexpr int kStdinWaitMilliseconds = 5000;
constexpr std::size_t kProbeBytes = 64;

}  // namespace

std::optional<std::string> RawCommandLine() { return std::nullopt; }

std::optional<std::string> WideCommandLine() { return std::nullopt; }

std::filesystem::path PathArgument(int /*argc*/, char** argv, int index) {
  return std::filesystem::path(argv[index]);
}

std::vector<std::string> OpenDescriptors() {
  std::vector<int> numbers;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return {};
  const int own = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const int fd = std::atoi(name.c_str());
    if (fd != own) numbers.push_back(fd);
  }
  closedir(dir);
  std::sort(numbers.begin(), numbers.end());
  std::vector<std::string> result;
  for (int fd : numbers) result.push_back(std::to_string(fd));
  return result;
}

std::optional<std::string> ProbeReadable(const std::string& value) {
  const int fd = std::atoi(value.c_str());
  if (fcntl(fd, F_GETFD) < 0) return std::nullopt;
  char buffer[kProbeBytes];
  const ssize_t got = pread(fd, buffer, sizeof buffer, 0);
  if (got < 0) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(got));
}

std::string StandardInputState() {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  const int ready = poll(&input, 1, kStdinWaitMilliseconds);
  if (ready == 0) return "blocked";
  if (ready < 0 || (input.revents & POLLNVAL) != 0) return "closed";
  char byte = 0;
  const ssize_t got = read(STDIN_FILENO, &byte, 1);
  if (got == 0) return "eof";
  return got > 0 ? "data" : "closed";
}

// POSIX streams never translate line ends.
void MakeStandardOutputBinary() {}

void EndBySignal(int signalNumber) {
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
  // A signal that does not end a process (SIGCHLD, say) ends it here.
  std::_Exit(1);
}

long CurrentProcessId() { return static_cast<long>(getpid()); }

bool StartSelf(const std::vector<std::string>& args) {
  std::vector<std::string> words{"/proc/self/exe"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  return posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0;
}

}  // namespace quendrix::helper
