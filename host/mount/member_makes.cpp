#include "mount/member_makes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "mount/mount_names.h"

namespace quendrix::host::mount {

namespace fs = std::filesystem;

// One make of a member into a folder of its own. The folder goes when the
// last holder lets the job go: the entry while it is the newest made
// member, and the openers that waited for it until they have opened it.
// Descriptors already open keep reading a file that is gone.
struct MemberMakes::Job {
  std::uint64_t serial = 0;
  Validity validity;
  std::string directory;
  std::string file;
  int waiting = 0;
  bool done = false;
  std::atomic<bool> stop{false};
  MakeOutcome outcome;
  std::int64_t size = 0;

  Job() = default;
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;
  ~Job() {
    std::error_code error;
    if (!directory.empty()) fs::remove_all(directory, error);
  }
};

namespace {

std::string KeyOf(const std::string& source, const std::string& member) {
  std::string key = source;
  key += '\0';
  key += member;
  return key;
}

// The name of a made member's file in its folder: the last part of the
// member's name, or a fixed one when that part is no name a folder holds.
std::string MadeFileName(const std::string& member) {
  const std::string_view last = LastNamePart(member);
  if (EntryNameObstacle(last)) return "member";
  return std::string(last);
}

}  // namespace

MemberMakes::MemberMakes(std::string folder, MemberMaker maker)
    : folder_(std::move(folder)), maker_(std::move(maker)) {}

MemberMakes::~MemberMakes() { Shutdown(); }

std::optional<std::int64_t> MemberMakes::MadeSize(const std::string& source,
                                                  const std::string& member,
                                                  const Validity& validity) const {
  const std::lock_guard lock(mutex_);
  const auto found = entries_.find(KeyOf(source, member));
  if (found == entries_.end() || !found->second.made ||
      !(found->second.made->validity == validity)) {
    return std::nullopt;
  }
  return found->second.made->size;
}

std::optional<std::string> MemberMakes::FailureReason(
    const std::string& source, const std::string& member,
    const Validity& validity) const {
  const std::lock_guard lock(mutex_);
  const auto found = entries_.find(KeyOf(source, member));
  if (found == entries_.end() || !found->second.failure ||
      !(found->second.failure->validity == validity)) {
    return std::nullopt;
  }
  return found->second.failure->reason;
}

OpenMember::~OpenMember() {
  if (descriptor_ >= 0) close(descriptor_);
}

ObtainedMember MemberMakes::OpenMade(const Job& job) {
  ObtainedMember obtained;
  obtained.generation = job.serial;
  obtained.size = job.size;
  // Each opener gets a descriptor of its own, closed at its release; reads
  // name their offset, so that sharing the file's position does no harm.
  obtained.descriptor = job.outcome.elsewhere
                            ? fcntl(job.outcome.elsewhere->descriptor(), F_DUPFD_CLOEXEC, 0)
                            : open(job.file.c_str(), O_RDONLY | O_CLOEXEC);
  if (obtained.descriptor < 0) {
    obtained.error = EIO;
    obtained.reason = "the made member cannot be opened in the cache: " +
                      std::error_code(errno, std::generic_category()).message();
  }
  return obtained;
}

ObtainedMember MemberMakes::Obtain(const std::string& source,
                                   const std::string& member,
                                   const Validity& validity,
                                   const std::function<bool()>& interrupted) {
  const std::string key = KeyOf(source, member);
  std::unique_lock lock(mutex_);
  if (shutDown_) return {-1, EIO, "the mount is being unmounted"};
  Entry& entry = entries_[key];
  if (entry.made && entry.made->validity == validity) return OpenMade(*entry.made);

  // A make that is being stopped is of no use to a new opener.
  std::shared_ptr<Job> job = entry.pending;
  if (!job || job->stop || !(job->validity == validity)) {
    job = StartJob(key, source, member, validity);
    if (!job) return {-1, EIO, "no thread could be started to make it"};
  }
  ++job->waiting;
  while (!job->done) {
    changed_.wait_for(lock, kInterruptPoll);
    if (job->done || !interrupted()) continue;
    if (--job->waiting == 0) {
      // Nobody wants the member any more: its program is stopped, and the
      // answer waits until it is gone, so that a Ctrl+C leaves nothing
      // running behind the interrupted program.
      job->stop = true;
      changed_.wait_for(lock, kCancelWait, [&job] { return job->done; });
    }
    return {-1, EINTR, "interrupted"};
  }
  --job->waiting;
  switch (job->outcome.kind) {
    case MakeOutcome::Kind::kMade:
      return OpenMade(*job);
    case MakeOutcome::Kind::kFailed:
      return {-1, EIO, job->outcome.reason};
    case MakeOutcome::Kind::kCancelled:
      break;
  }
  return {-1, EINTR, "its making was stopped"};
}

std::shared_ptr<MemberMakes::Job> MemberMakes::StartJob(
    const std::string& key, const std::string& source, const std::string& member,
    const Validity& validity) {
  ReapWorkers();
  auto job = std::make_shared<Job>();
  job->serial = ++serial_;
  job->validity = validity;
  // A folder per make keeps the member's own file name, which some programs
  // read their output format from. Only the last part of its name goes
  // into the path: the member's folders stay out of the table's folder,
  // which holds one level of folders, each of one file.
  job->directory = folder_ + "/" + std::to_string(job->serial);
  job->file = job->directory + "/" + MadeFileName(member);
  try {
    std::thread worker([this, job, key, source, member] {
      RunJob(job, key, source, member);
    });
    const std::thread::id id = worker.get_id();
    workers_.emplace(id, std::move(worker));
  } catch (const std::system_error&) {
    job->directory.clear();
    return nullptr;
  }
  entries_[key].pending = job;
  return job;
}

void MemberMakes::RunJob(const std::shared_ptr<Job>& job, const std::string& key,
                         const std::string& source, const std::string& member) {
  MakeOutcome outcome;
  std::error_code error;
  if (!fs::create_directory(job->directory, error)) {
    outcome.reason = "the cache folder " + job->directory +
                     " cannot be made: " + error.message();
  } else {
    try {
      outcome = maker_(source, member, job->file,
                       [&job] { return job->stop.load(); });
    } catch (const std::exception& e) {
      outcome = {MakeOutcome::Kind::kFailed, e.what()};
    }
  }
  std::int64_t size = 0;
  if (outcome.kind == MakeOutcome::Kind::kMade) {
    struct stat status {};
    if (outcome.elsewhere) {
      size = outcome.elsewhere->size();
    } else if (stat(job->file.c_str(), &status) == 0) {
      size = static_cast<std::int64_t>(status.st_size);
    } else {
      outcome = {MakeOutcome::Kind::kFailed, "its program wrote no file"};
    }
  }

  const std::lock_guard lock(mutex_);
  job->outcome = outcome;
  job->size = size;
  job->done = true;
  Entry& entry = entries_[key];
  // Makes of one member may end out of order (a stopped one goes on while a
  // newer one starts): the newer make tells what the member is.
  const bool newerThanMade = !entry.made || entry.made->serial < job->serial;
  if (outcome.kind == MakeOutcome::Kind::kMade && newerThanMade) {
    entry.made = job;
    if (entry.failure && entry.failure->serial < job->serial) entry.failure.reset();
  }
  if (outcome.kind == MakeOutcome::Kind::kFailed && newerThanMade &&
      (!entry.failure || entry.failure->serial < job->serial)) {
    entry.failure = Failure{job->serial, job->validity, outcome.reason};
  }
  if (entry.pending == job) entry.pending.reset();
  finished_.push_back(std::this_thread::get_id());
  changed_.notify_all();
}

void MemberMakes::ReapWorkers() {
  for (const std::thread::id id : finished_) {
    const auto found = workers_.find(id);
    if (found == workers_.end()) continue;
    found->second.join();
    workers_.erase(found);
  }
  finished_.clear();
}

void MemberMakes::Shutdown() {
  std::map<std::thread::id, std::thread> workers;
  {
    const std::lock_guard lock(mutex_);
    if (shutDown_) return;
    shutDown_ = true;
    for (auto& [key, entry] : entries_) {
      if (entry.pending) entry.pending->stop = true;
    }
    workers.swap(workers_);
    finished_.clear();
  }
  for (auto& [id, worker] : workers) worker.join();
  std::map<std::string, Entry> entries;
  {
    const std::lock_guard lock(mutex_);
    entries.swap(entries_);
  }
  entries.clear();
  // An opener that waited for a stopped make lets the job go, and with it
  // the job's folder, under the lock; the table's folder is removed under it
  // too, or the two removals could meet halfway and leave the folder.
  const std::lock_guard lock(mutex_);
  std::error_code error;
  fs::remove_all(folder_, error);
}

}  // namespace quendrix::host::mount
