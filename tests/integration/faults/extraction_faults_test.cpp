// Faults around an extraction, through the real plug-in with the test helper
// as the converter: a converter that crashes, fails, writes nothing, runs for
// seconds or cannot be started; a destination directory that is missing; a
// log that cannot be written or is held by another writer. Every row has a
// defined result from ProcessFile, the list goes on to its end, and nothing
// that should stay is lost: the archive, the earlier lines of the log and
// the other files of the destination directory.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/fault.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"
#include "support/system_fixtures.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kArchiveBytes = "the archive's content";
constexpr std::string_view kEarlierLog = "command1 = an earlier line\r\n";
constexpr std::string_view kBystanderBytes = "made before";

enum class Member { kMade, kNotMade };
enum class Log {
  kLineAppended,  // the earlier lines, then this extraction's
  kUntouched,     // exactly the earlier lines
  kNotAFile,      // the directory in the log's place is still there
  kAbsent,        // no log was made
};

// Where one row lays its fault.
struct ExtractionStage {
  std::string pluginDir;
  std::string logPath;
  std::string destination;  // the member's file, as the host asks for it
};

struct ExtractionFaultRow {
  const char* name;
  // The converter's words after the helper's path; "filein" and "fileout"
  // are filled in by the plug-in, and every command names its destination.
  // "<missing>": a program that does not exist.
  std::vector<std::string> converter;
  std::function<Fault(ExtractionStage&)> fault;
  int result;
  Member member;
  Log log;
  // The least time the extraction must have waited for the converter.
  std::chrono::milliseconds waits{0};
};

// Failures name the row rather than dump its bytes.
void PrintTo(const ExtractionFaultRow& row, std::ostream* out) {
  *out << row.name;
}

Fault NoFault(ExtractionStage&) { return Fault(); }

const std::vector<ExtractionFaultRow>& ExtractionFaultRows() {
  static const std::vector<ExtractionFaultRow> rows = {
      {"ConverterMakesTheMember", {"--copy", "filein", "fileout"}, NoFault, 0,
       Member::kMade, Log::kLineAppended},
      {"ConverterExitsNonzero", {"--exit", "3", "fileout"}, NoFault, 19, Member::kNotMade,
       Log::kLineAppended},
      {"ConverterWritesNothing", {"fileout"}, NoFault, 16, Member::kNotMade,
       Log::kLineAppended},
      {"ConverterCrashes", {"--signal", "11", "fileout"}, NoFault, 19, Member::kNotMade,
       Log::kLineAppended},
      {"ConverterRunsForSeconds",
       {"--copy", "filein", "fileout", "--sleep", "3000"}, NoFault, 0,
       Member::kMade, Log::kLineAppended, std::chrono::milliseconds(3000)},
      {"ConverterCannotBeStarted", {"<missing>"}, NoFault, 16,
       Member::kNotMade, Log::kLineAppended},
      // A member in a folder that the host has not made yet (a listed
      // docs/a.txt, say): the folder is made for it.
      {"DestinationDirectoryMissing", {"--copy", "filein", "fileout"},
       [](ExtractionStage& s) {
         s.destination = (fs::path(s.destination).parent_path() / "missing" /
                          "member.out")
                             .string();
         return Fault();
       },
       0, Member::kMade, Log::kLineAppended},
      {"LogPathIsADirectory", {"--copy", "filein", "fileout"},
       [](ExtractionStage& s) {
         fs::remove(s.logPath);
         fs::create_directory(s.logPath);
         return Fault();
       },
       0, Member::kMade, Log::kNotAFile},
      // A log that exists can still be appended to in a read-only
      // directory; one that does not cannot be made.
      {"LogDirectoryReadOnlyAndNoLogYet", {"--copy", "filein", "fileout"},
       [](ExtractionStage& s) {
         fs::remove(s.logPath);
         auto readOnly = std::make_shared<ReadOnlyDirectory>(s.pluginDir);
         if (!readOnly->IsReadOnly()) {
           return Fault::Skip(
               "this process may create files in a read-only directory");
         }
         return Fault(readOnly);
       },
       0, Member::kMade, Log::kAbsent},
      {"LogHeldByAnotherWriter", {"--copy", "filein", "fileout"},
       [](ExtractionStage& s) {
         return Fault(std::make_shared<ExclusiveHold>(s.logPath));
       },
       0, Member::kMade, Log::kUntouched},
  };
  return rows;
}

std::string RulesFor(const ExtractionFaultRow& row) {
  std::string command;
  if (row.converter.size() == 1 && row.converter.front() == "<missing>") {
    command = CommandLineOf({(fs::path(HelperPath()).parent_path() /
                              "no-such-converter")
                                 .string(),
                             "filein", "fileout"});
  } else {
    command = HelperCommandLine(row.converter);
  }
  return "[txt]\nlog=1\ncommand1=" + command + "\nfileout1=member.out\n";
}

class ExtractionFaultTest
    : public ::testing::TestWithParam<ExtractionFaultRow> {
 protected:
  TempDir data_;
  TempDir destinationDir_;
};

TEST_P(ExtractionFaultTest, HasADefinedResultAndLosesNothing) {
  const ExtractionFaultRow& row = GetParam();
  const LoadedPlugin plugin(RulesFor(row));
  const std::string archive = data_.file("archive.txt");
  WriteFile(archive, kArchiveBytes);
  const std::string bystander = destinationDir_.file("bystander.out");
  WriteFile(bystander, kBystanderBytes);
  ExtractionStage stage{plugin.dir(), plugin.file("quendrix.log"),
                        destinationDir_.file("member.out")};
  WriteFile(stage.logPath, kEarlierLog);

  Fault fault = row.fault(stage);
  if (fault.skipReason) GTEST_SKIP() << *fault.skipReason;

  const fs::path destinationParent = fs::path(stage.destination).parent_path();
  const bool parentExisted = fs::exists(destinationParent);
  ASSERT_NE(plugin.Open(archive, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(plugin.Process(PK_EXTRACT, stage.destination.c_str()),
            row.result);
  EXPECT_GE(Clock::now() - start, row.waits)
      << "the extraction returned before the converter had ended";
  EXPECT_EQ(plugin.Read(header), 10) << "the list goes on to its end";
  EXPECT_EQ(plugin.Close(), 0);
  fault = Fault();

  if (row.member == Member::kMade) {
    EXPECT_EQ(ReadFile(stage.destination), kArchiveBytes);
  } else {
    EXPECT_FALSE(fs::exists(stage.destination));
  }
  EXPECT_EQ(fs::exists(destinationParent), parentExisted || row.member == Member::kMade)
      << "the plug-in makes only the folder of a member it makes";
  EXPECT_EQ(ReadFile(archive), kArchiveBytes);
  EXPECT_EQ(ReadFile(bystander), kBystanderBytes);

  switch (row.log) {
    case Log::kLineAppended: {
      const std::string log = ReadFile(stage.logPath);
      ASSERT_EQ(log.substr(0, kEarlierLog.size()), kEarlierLog);
      const std::string line = log.substr(kEarlierLog.size());
      EXPECT_EQ(line.rfind("command1 = ", 0), 0u) << line;
      EXPECT_NE(line.find("member.out"), std::string::npos) << line;
      EXPECT_EQ(line.find("\r\n"), line.size() - 2) << "one line: " << line;
      break;
    }
    case Log::kUntouched:
      EXPECT_EQ(ReadFile(stage.logPath), kEarlierLog);
      break;
    case Log::kNotAFile:
      EXPECT_TRUE(fs::is_directory(stage.logPath));
      break;
    case Log::kAbsent:
      EXPECT_FALSE(fs::exists(stage.logPath));
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ExtractionFaultTest, ::testing::ValuesIn(ExtractionFaultRows()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace quendrix::testing
