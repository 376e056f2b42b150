// The Windows plug-in's main paths in one short run: probe, both kinds of
// open, a list program that lists members in a folder, listing through
// ReadHeader and ReadHeaderExW, two sessions open at once, and one real
// extraction of a listed member into a folder made for it, with progress,
// kept in the cache of made members, so that its second extraction copies
// it from there and a new listing tells its real size: two program starts
// in all.
//
// It stands in for the full suites where the 32-bit DLL can only run under
// instruction emulation, where every process start costs seconds: so it is
// one process and starts one program, and each step is checked as the suites
// check it. It runs on every Windows build, so that a fault in the
// test itself shows up on the fast 64-bit run first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interface/wcx.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"
#include "support/local_stamp.h"
#include "support/scoped_environment.h"
#include "support/windows_build.h"

namespace quendrix::testing {
namespace {

using Names = std::vector<std::string>;

// Cyrillic: no Western ANSI code page writes it, so only the wide open can
// find an archive in this folder by its real name.
constexpr const char* kWideFolder = "\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5";  // Данные

// [txt] copies its archive through the helper, and lists one more member,
// in a folder, by the helper printing `list`; it keeps what it made. [dat]
// lists two members of its own, whose programs never run here.
std::string SmokeRules(const std::string& list, const std::string& count) {
  return "[txt]\n"
         "command1=" + HelperPath() + " --copy filein fileout\nfileout1=[N].copy\n"
         "list=" + HelperPath() + " --stdout-file \"" + list + "\"\n"
         "extract=" + HelperPath() + " --count \"" + count + "\" --copy filein fileout\n"
         "Cache=1\n"
         "[dat]\n"
         "command1=conv filein fileout\nfileout1=[N].first\n"
         "command2=conv filein fileout\nfileout2=[N].second.[E]\n";
}

std::vector<std::string> g_progressNames;

int QUENDRIX_WCX_CALL RecordProgress(char* name, int) {
  g_progressNames.push_back(name != nullptr ? name : "(null)");
  return 1;
}

TEST(SmokeTest, ProbesListsTwoSessionsAndExtractsThroughTheHelper) {
  TempDir data;
  TempDir out;
  TempDir cache;
  const ScopedEnvironmentValue cacheHome(kWindows ? "LOCALAPPDATA" : "XDG_CACHE_HOME", cache.str());
  const std::string list = data.file("list.txt");
  const std::string count = data.file("runs");
  WriteFile(list, "docs/inner.txt\t99\t2024-03-15 13:45:59\n");
  const LoadedPlugin plugin(SmokeRules(list, count));
  ASSERT_TRUE(plugin.HasWideFunctions());
  EXPECT_EQ(plugin.Caps(), 448);

  const std::string ansiArchive = data.file("report.txt");
  WriteFile(ansiArchive, "content of the ANSI archive\n");
  ASSERT_TRUE(platform::SetFileModifiedUnixSeconds(ansiArchive, LocalStampSeconds()));
  std::filesystem::create_directory(data.path() / PathOfUtf8(kWideFolder));
  const std::string wideArchive = data.utf8File(std::string(kWideFolder) + "\\table.dat");
  WriteFile(PathOfUtf8(wideArchive), "content of the wide archive\n");

  // Probes, through both kinds of function.
  EXPECT_EQ(plugin.CanHandle(ansiArchive), 1);
  EXPECT_EQ(plugin.CanHandle(data.file("report.doc")), 0);
  EXPECT_EQ(plugin.CanHandleW(wideArchive), 1);
  EXPECT_EQ(plugin.CanHandleW(wideArchive + ".bak"), 0);

  // Two sessions open at once: the ANSI one for extraction, the wide one
  // for listing; their headers are read in turn.
  const OpenOutcome ansi = plugin.Open(ansiArchive, PK_OM_EXTRACT);
  const OpenOutcome wide = plugin.OpenW(wideArchive);
  ASSERT_NE(ansi.handle, nullptr);
  ASSERT_NE(wide.handle, nullptr);
  ASSERT_NE(ansi.handle, wide.handle);
  EXPECT_EQ(ansi.openResult, -1) << "OpenResult is left alone on success";
  EXPECT_EQ(wide.openResult, -1) << "OpenResult is left alone on success";

  Header header;
  ASSERT_EQ(plugin.ReadW(wide.handle, header), 0);
  EXPECT_EQ(header.name, "table.first");
  EXPECT_EQ(header.packSize, 1);
  EXPECT_EQ(header.unpSize, 1);

  ASSERT_EQ(plugin.Read(ansi.handle, header), 0);
  EXPECT_EQ(header.name, "report.copy");
  EXPECT_EQ(header.packSize, 1);
  EXPECT_EQ(header.unpSize, 1);
  EXPECT_EQ(header.fileTime, static_cast<std::int32_t>(kLocalStampDos))
      << "the archive's own stamp";

  // The listed member, in its folder, with its listed size and time.
  ASSERT_EQ(plugin.Read(ansi.handle, header), 0);
  EXPECT_EQ(header.name, "docs\\inner.txt");
  EXPECT_EQ(header.unpSize, 99);
  EXPECT_EQ(header.fileTime, static_cast<std::int32_t>(kLocalStampDos));

  // The one extraction: the helper copies the archive into the listed
  // member, whose folder does not exist yet.
  g_progressNames.clear();
  plugin.setProcessDataProc(ansi.handle, RecordProgress);
  const std::string dest = out.file("docs\\inner.txt");
  EXPECT_EQ(plugin.ProcessOn(ansi.handle, PK_EXTRACT, dest.c_str()), 0);
  EXPECT_EQ(ReadFile(dest), "content of the ANSI archive\n");
  ASSERT_FALSE(g_progressNames.empty()) << "the end of the program is reported";
  for (const std::string& name : g_progressNames) EXPECT_EQ(name, dest);

  ASSERT_EQ(plugin.ReadW(wide.handle, header), 0);
  EXPECT_EQ(header.name, "table.second.dat");
  EXPECT_EQ(plugin.Read(ansi.handle, header), E_END_ARCHIVE);
  EXPECT_EQ(plugin.ReadW(wide.handle, header), E_END_ARCHIVE);

  EXPECT_EQ(plugin.Close(ansi.handle), 0);
  EXPECT_EQ(plugin.Close(wide.handle), 0);
  EXPECT_EQ(plugin.Read(ansi.handle, header), E_BAD_ARCHIVE) << "a closed handle";

  // Each session listed its own members, and a fresh one lists them again.
  EXPECT_EQ(plugin.List(ansiArchive), (Names{"report.copy", "docs\\inner.txt"}))
      << "the list is kept: no program runs for it again";
  EXPECT_EQ(plugin.ListW(wideArchive), (Names{"table.first", "table.second.dat"}));

  // The listed member was kept: a new session tells its real size, and
  // extracting it again copies the kept bytes without starting the helper.
  const OpenOutcome again = plugin.Open(ansiArchive, PK_OM_EXTRACT);
  ASSERT_NE(again.handle, nullptr);
  ASSERT_EQ(plugin.Read(again.handle, header), 0);
  EXPECT_EQ(plugin.ProcessOn(again.handle, PK_SKIP, nullptr), 0);
  ASSERT_EQ(plugin.Read(again.handle, header), 0);
  EXPECT_EQ(header.name, "docs\\inner.txt");
  EXPECT_EQ(header.unpSize, 28) << "the kept member's size, not the listed 99";
  const std::string copy = out.file("inner-again.txt");
  EXPECT_EQ(plugin.ProcessOn(again.handle, PK_EXTRACT, copy.c_str()), 0);
  EXPECT_EQ(ReadFile(copy), "content of the ANSI archive\n");
  EXPECT_EQ(plugin.Close(again.handle), 0);
  EXPECT_EQ(ReadFile(count).size(), 1u) << "the helper ran once for the listed member";
}

}  // namespace
}  // namespace quendrix::testing
