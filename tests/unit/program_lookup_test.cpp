#include "extract/program_lookup.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/case_name.h"

namespace quendrix {
namespace {

using platform::PathStyle;

// A file system that holds a few programs, and a search path over it.
ProgramLookup FakeLookup(PathStyle style, const std::set<std::string>& programs,
                         std::vector<std::string> searchFolders) {
  ProgramLookup lookup;
  lookup.style = style;
  lookup.pluginDir = style == PathStyle::kPosix ? "/opt/plug/" : R"(E:\plug\)";
  lookup.isProgram = [programs](const std::string& path) { return programs.contains(path); };
  lookup.searchPath = [programs, searchFolders, style](const std::string& name)
      -> std::optional<std::string> {
    for (const std::string& folder : searchFolders) {
      std::string candidate = folder + (style == PathStyle::kPosix ? "/" : "\\") + name;
      if (programs.contains(candidate)) return candidate;
      if (style == PathStyle::kWindows && programs.contains(candidate + ".exe")) {
        return candidate + ".exe";
      }
    }
    return std::nullopt;
  };
  return lookup;
}

struct LookupCase {
  const char* label;
  PathStyle style;
  const char* line;
  bool firstInPluginDir;
  const char* resolved;                // the line as it runs
  std::vector<ProgramSource> sources;  // one per program
};

class ProgramLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(ProgramLookupTest, FindsEachProgram) {
  const LookupCase& c = GetParam();
  const ProgramLookup lookup =
      c.style == PathStyle::kPosix
          ? FakeLookup(c.style,
                       {"/opt/plug/conv", "/opt/plug/both", "/usr/bin/both", "/usr/bin/sort",
                        "/bin/cat", "/usr/local/bin/my tool", "/usr/bin/pdftotext",
                        "/opt/plug/recipes/tar-entries", "/usr/bin/tar-entries",
                        "/opt/plug/recipes/conv", "/opt/plug/recipes/my script"},
                       {"/usr/local/bin", "/usr/bin", "/bin"})
          : FakeLookup(c.style,
                       {R"(E:\plug\conv.exe)", R"(C:\Windows\system32\sort.exe)",
                        R"(C:\Program Files\tool\my tool.exe)", R"(E:\plug\recipes\listing.exe)"},
                       {R"(C:\Windows\system32)", R"(C:\Program Files\tool)"});
  const ResolvedCommand resolved = ResolvePrograms(c.line, c.firstInPluginDir, lookup);
  EXPECT_EQ(resolved.line, c.resolved);
  std::vector<ProgramSource> sources;
  for (const ProgramChoice& choice : resolved.programs) sources.push_back(choice.source);
  EXPECT_EQ(sources, c.sources);
}

constexpr auto kPosix = PathStyle::kPosix;
constexpr auto kWindows = PathStyle::kWindows;
using S = ProgramSource;

INSTANTIATE_TEST_SUITE_P(
    Table, ProgramLookupTest,
    ::testing::Values(
        LookupCase{"InThePluginFolder", kPosix, "/opt/plug/conv x > out", true,
                   "/opt/plug/conv x > out", {S::kPluginFolder}},
        LookupCase{"PluginFolderBeforePath", kPosix, "/opt/plug/both x", true,
                   "/opt/plug/both x", {S::kPluginFolder}},
        LookupCase{"OnPath", kPosix, "/opt/plug/pdftotext in - > out", true,
                   "/usr/bin/pdftotext in - > out", {S::kSearchPath}},
        LookupCase{"FirstMatchOnPath", kPosix, "/opt/plug/'my tool' in", true,
                   "'/usr/local/bin/my tool' in", {S::kSearchPath}},
        // The helper scripts of the shipped recipes lie in recipes/ of the
        // plug-in's folder: found there by their bare names before PATH,
        // after the plug-in's folder itself.
        LookupCase{"InTheRecipesFolder", kPosix, "/opt/plug/tar-entries list in", true,
                   "/opt/plug/recipes/tar-entries list in", {S::kRecipesFolder}},
        LookupCase{"PluginFolderBeforeRecipesFolder", kPosix, "/opt/plug/conv x", true,
                   "/opt/plug/conv x", {S::kPluginFolder}},
        LookupCase{"RecipesFolderNameWithABlankIsQuoted", kPosix, "/opt/plug/'my script' x", true,
                   "'/opt/plug/recipes/my script' x", {S::kRecipesFolder}},
        LookupCase{"RecipesFolderInALaterStage", kPosix, "/bin/cat x | tar-entries list -", false,
                   "/bin/cat x | /opt/plug/recipes/tar-entries list -",
                   {S::kAsWritten, S::kRecipesFolder}},
        LookupCase{"AFolderInTheNameIsNotLookedUpInRecipes", kPosix,
                   "/opt/plug/recipes/tar-entries x", false, "/opt/plug/recipes/tar-entries x",
                   {S::kAsWritten}},
        LookupCase{"Nowhere", kPosix, "/opt/plug/mutool x", true, "/opt/plug/mutool x",
                   {S::kNotFound}},
        LookupCase{"WrittenWithAFolder", kPosix, "/usr/bin/sort x", false, "/usr/bin/sort x",
                   {S::kAsWritten}},
        LookupCase{"ExplicitPluginFolderIsTakenAsWritten", kPosix, "/opt/plug/pdftotext x",
                   false, "/opt/plug/pdftotext x", {S::kAsWritten}},
        LookupCase{"LaterStagesAreLookedUpToo", kPosix,
                   "/opt/plug/conv < in | sort | both | cat > out", true,
                   "/opt/plug/conv < in | /usr/bin/sort | /opt/plug/both | /bin/cat > out",
                   {S::kPluginFolder, S::kSearchPath, S::kPluginFolder, S::kSearchPath}},
        LookupCase{"LaterStageNowhere", kPosix, "/bin/cat x | nosuch > out", false,
                   "/bin/cat x | nosuch > out", {S::kAsWritten, S::kNotFound}},
        LookupCase{"SyntaxProblemIsLeftAlone", kPosix, "/opt/plug/pdftotext >", true,
                   "/opt/plug/pdftotext >", {}},
        LookupCase{"WindowsPluginFolderAddsExe", kWindows, R"(E:\plug\conv "D:\a b.doc")", true,
                   R"(E:\plug\conv "D:\a b.doc")", {S::kPluginFolder}},
        LookupCase{"WindowsRecipesFolder", kWindows, R"(E:\plug\listing x)", true,
                   R"(E:\plug\recipes\listing x)", {S::kRecipesFolder}},
        LookupCase{"WindowsSearchPath", kWindows, R"(E:\plug\sort.exe D:\a.txt)", true,
                   R"(C:\Windows\system32\sort.exe D:\a.txt)", {S::kSearchPath}},
        LookupCase{"WindowsFoundPathWithBlanksIsQuoted", kWindows, R"(E:\plug\"my tool" x)",
                   true, R"("C:\Program Files\tool\my tool.exe" x)", {S::kSearchPath}},
        LookupCase{"WindowsNowhere", kWindows, R"(E:\plug\none.exe x)", true,
                   R"(E:\plug\none.exe x)", {S::kNotFound}},
        LookupCase{"WindowsAsWritten", kWindows, R"(C:\t\conv.exe x)", false,
                   R"(C:\t\conv.exe x)", {S::kAsWritten}}),
    testing::CaseName());

}  // namespace
}  // namespace quendrix
