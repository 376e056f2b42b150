#include "rules/expand.h"
#include "format/command_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "rules/archive_name.h"
#include "rules/entry.h"
#include "rules/placeholder.h"
#include "format/shell_words.h"

namespace quendrix {
namespace {

using platform::PathStyle;
using Words = std::vector<std::string>;
using Environment = std::map<std::string, std::string>;

// An environment as the tests set it. Windows looks names up without regard
// to case; Linux with case.
EnvironmentLookup FakeEnvironment(Environment variables, PathStyle style) {
  return [variables = std::move(variables), style](std::string_view name) {
    for (const auto& [key, value] : variables) {
      const bool same =
          style == PathStyle::kPosix
              ? key == name
              : key.size() == name.size() &&
                    std::equal(key.begin(), key.end(), name.begin(), [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
      if (same) return value;
    }
    return std::string();
  };
}

// Short forms that the fake volume knows; every other path has none.
std::string KnownShortFile(std::string_view path) {
  if (path == R"(D:\data\report.final.doc)") return R"(D:\data\REPORT~1.DOC)";
  return {};
}

struct Archive {
  std::string pluginDir;
  std::string path;
  std::string baseName;
  std::string extension;
};

Archive WindowsArchive() {
  return {R"(E:\plug\)", R"(D:\data\report.final.doc)", "report.final", "doc"};
}

Archive PosixArchive(std::string path = "/data/report.final.doc",
                     std::string pluginDir = "/opt/plug/") {
  ArchiveName name = SplitArchiveName(path, PathStyle::kPosix);
  return {std::move(pluginDir), std::move(path), std::move(name.baseName),
          std::move(name.extension)};
}

ExpansionContext ContextFor(const Archive& archive, PathStyle style,
                            Environment environment = {}) {
  ExpansionContext context;
  context.pathStyle = style;
  context.pluginDir = archive.pluginDir;
  context.archivePath = archive.path;
  context.baseName = archive.baseName;
  context.extension = archive.extension;
  context.environment = FakeEnvironment(std::move(environment), style);
  context.shortPathOf = KnownShortFile;
  return context;
}

struct CommandCase {
  const char* label;
  std::string_view commandTemplate;
  Environment environment;
  std::string_view expected;
};

std::string CaseName(const ::testing::TestParamInfo<CommandCase>& info) {
  std::string name = info.param.label;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

// ---------------------------------------------------------------------------
// Windows style: plug-in in E:\plug\, archive D:\data\report.final.doc.

class WindowsCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(WindowsCommandTest, ExpandsInTheOrderOfTheSteps) {
  const CommandCase& c = GetParam();
  const Archive archive = WindowsArchive();
  const ExpandedEntry expanded = ExpandEntry(
      c.commandTemplate, "x", ContextFor(archive, PathStyle::kWindows, c.environment));
  EXPECT_EQ(expanded.command, c.expected) << c.commandTemplate;
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowsCommandTest,
    ::testing::Values(
        CommandCase{"bare program", "conv.exe filein fileout", {},
                    R"(E:\plug\conv.exe D:\data\report.final.doc fileout)"},
        CommandCase{"quoted drive path", R"("E:\Program Files\conv\conv.exe" filein)", {},
                    R"("E:\Program Files\conv\conv.exe" D:\data\report.final.doc)"},
        CommandCase{"drive path", R"(C:\t\conv.exe filein)", {},
                    R"(C:\t\conv.exe D:\data\report.final.doc)"},
        CommandCase{"quoted bare program", R"("conv.exe" filein)", {},
                    R"(E:\plug\"conv.exe" D:\data\report.final.doc)"},
        CommandCase{"sort", "sort filein", {}, R"(E:\plug\sort D:\data\report.final.doc)"},
        CommandCase{"network path", R"(\\server\tools\conv.exe filein)", {},
                    R"(E:\plug\\\server\tools\conv.exe D:\data\report.final.doc)"},
        CommandCase{"drive later in the line", R"(tool.exe E:\x filein)", {},
                    R"(E:\plug\tool.exe E:\x D:\data\report.final.doc)"},
        CommandCase{"plugin path placeholder", "[quendrix_path]conv.exe filein", {},
                    R"(E:\plug\conv.exe D:\data\report.final.doc)"},
        CommandCase{"placeholders in capitals", "[QUENDRIX_PATH]c FileIn [n] [e]", {},
                    R"(E:\plug\[QUENDRIX_PATH]c FileIn [n] [e])"},
        CommandCase{"variable with drive path", R"(%WINDIR%\notepad.exe filein)",
                    {{"WINDIR", R"(C:\Windows)"}},
                    R"(C:\Windows\notepad.exe D:\data\report.final.doc)"},
        CommandCase{"unset variable", R"(%NOSUCHVAR%\conv.exe)", {},
                    R"(%NOSUCHVAR%\conv.exe)"},
        CommandCase{"parenthesis ends a name", R"(%ProgramFiles(x86)%\conv.exe)",
                    {{"ProgramFiles", R"(C:\PF)"}}, R"(%ProgramFiles(x86)%\conv.exe)"},
        CommandCase{"short value skips the next token", "%a%%b%",
                    {{"a", "x"}, {"b", "y"}}, R"(E:\plug\x%b%)"},
        CommandCase{"value as long as its token", "%a% %b%",
                    {{"a", "xyz"}, {"b", "y"}}, R"(E:\plug\xyz y)"},
        CommandCase{"percent sign belongs to the first token", "%a%b%", {{"b", "y"}},
                    "%a%b%"},
        CommandCase{"each spelling on its own", R"(%temp%\x %TEMP%\y)",
                    {{"temp", R"(C:\T)"}}, R"(C:\T\x C:\T\y)"},
        CommandCase{"token in value before resume position", "%v%",
                    {{"v", "ab%path%"}, {"path", "P"}}, R"(E:\plug\ab%path%)"},
        CommandCase{"token in value at resume position", "%v%",
                    {{"v", "abc%path%"}, {"path", "P"}}, R"(E:\plug\abcP)"},
        CommandCase{"token in a later copy of a value replaces every copy", "%v% %v%",
                    {{"v", "ab%w%"}, {"w", "W"}}, R"(E:\plug\abW abW)"},
        CommandCase{"digits end a name", "%a1% x", {{"a", "A"}}, "%a1% x"},
        CommandCase{"placeholder inside a word", "profileinfo.exe", {},
                    R"(E:\plug\proD:\data\report.final.docfo.exe)"},
        CommandCase{"base name and extension", "conv -o [N].[E].txt filein", {},
                    R"(E:\plug\conv -o report.final.doc.txt D:\data\report.final.doc)"},
        CommandCase{"empty", "", {}, R"(E:\plug\)"}),
    CaseName);

TEST(WindowsExpansionTest, FillsOnlyNameAndExtensionIntoMemberNames) {
  const Archive archive = WindowsArchive();
  const ExpansionContext context =
      ContextFor(archive, PathStyle::kWindows, {{"v", "value"}});
  struct Case { std::string_view fileoutTemplate, expected; };
  for (const Case& c : {Case{"[N]_[E].out", "report.final_doc.out"},
                        Case{"[n].txt", "[n].txt"},
                        Case{"[quendrix_path] filein %v%.[E]", "[quendrix_path] filein %v%.doc"},
                        Case{"", ""}}) {
    EXPECT_EQ(ExpandEntry("c", c.fileoutTemplate, context).fileout, c.expected);
  }
}

TEST(WindowsExpansionTest, ShortFormOfTheArchivePathWhenAskedAndGiven) {
  Archive archive = WindowsArchive();
  ExpansionContext context = ContextFor(archive, PathStyle::kWindows);
  context.shortFileName = true;
  EXPECT_EQ(ExpandEntry("conv filein", "x", context).command,
            R"(E:\plug\conv D:\data\REPORT~1.DOC)");

  // A path without a short form stays whole instead of vanishing.
  archive.path = R"(D:\gone\report.doc)";
  context = ContextFor(archive, PathStyle::kWindows);
  context.shortFileName = true;
  EXPECT_EQ(ExpandEntry("conv filein", "x", context).command,
            R"(E:\plug\conv D:\gone\report.doc)");
  context.shortPathOf = nullptr;
  EXPECT_EQ(ExpandEntry("conv filein", "x", context).command,
            R"(E:\plug\conv D:\gone\report.doc)");
}

// The archive path inserted for "filein" is still subject to "[N]" and "[E]".
TEST(WindowsExpansionTest, LaterStepsSeeTheInsertedArchivePath) {
  const Archive archive{R"(E:\plug\)", R"(D:\[E]\x.doc)", "x", "doc"};
  EXPECT_EQ(ExpandEntry("conv filein", "x", ContextFor(archive, PathStyle::kWindows))
                .command,
            R"(E:\plug\conv D:\doc\x.doc)");
}

// ---------------------------------------------------------------------------
// Cuts.

TEST(ExpansionCutTest, AValueHoldingItsOwnTokenEndsAtTheCut) {
  for (PathStyle style : {PathStyle::kWindows, PathStyle::kPosix}) {
    const Archive archive =
        style == PathStyle::kWindows ? WindowsArchive() : PosixArchive();
    const ExpandedEntry expanded =
        ExpandEntry("%v%", "x", ContextFor(archive, style, {{"v", "abcd%v%"}}));
    ASSERT_EQ(expanded.command.size(), kTemplateLimit);
    const std::string_view body =
        std::string_view(expanded.command).substr(archive.pluginDir.size());
    EXPECT_EQ(body.substr(0, 12), "abcdabcdabcd");
    // Each pass adds "abcd" in front of the token until the cut breaks it.
    EXPECT_EQ(body.find("%v%"), std::string_view::npos);
  }
}

TEST(ExpansionCutTest, EveryStepCutsTo1023Characters) {
  const Archive archive = WindowsArchive();
  const ExpansionContext context = ContextFor(archive, PathStyle::kWindows);
  const std::string longTemplate(2000, 'a');
  const ExpandedEntry expanded = ExpandEntry(longTemplate, longTemplate, context);
  EXPECT_EQ(expanded.command, R"(E:\plug\)" + std::string(kTemplateLimit - 8, 'a'));
  EXPECT_EQ(expanded.fileout, std::string(kTemplateLimit, 'a'));

  // Many insertions: the text is cut, and placeholders past the cut are gone.
  std::string many;
  for (int i = 0; i < 300; ++i) many += "filein ";
  const std::string command = ExpandEntry(many, "[N][N][N]", context).command;
  EXPECT_EQ(command.size(), kTemplateLimit);
  EXPECT_EQ(command.find("filein"), std::string::npos);
}

// ---------------------------------------------------------------------------
// POSIX style: plug-in in /opt/plug/, archive /data/report.final.doc.

class PosixCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(PosixCommandTest, ExpandsInTheOrderOfTheSteps) {
  const CommandCase& c = GetParam();
  const ExpandedEntry expanded = ExpandEntry(
      c.commandTemplate, "x", ContextFor(PosixArchive(), PathStyle::kPosix, c.environment));
  EXPECT_EQ(expanded.command, c.expected) << c.commandTemplate;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PosixCommandTest,
    ::testing::Values(
        CommandCase{"bare program", "conv filein fileout", {},
                    "/opt/plug/conv /data/report.final.doc fileout"},
        CommandCase{"absolute program", "/usr/bin/sort -o fileout filein", {},
                    "/usr/bin/sort -o fileout /data/report.final.doc"},
        CommandCase{"double-quoted absolute program", R"("/usr/bin/my conv" "filein")", {},
                    R"("/usr/bin/my conv" "/data/report.final.doc")"},
        CommandCase{"single-quoted absolute program", "'/usr/bin/conv' 'filein'", {},
                    "'/usr/bin/conv' '/data/report.final.doc'"},
        CommandCase{"quoted bare program", R"("conv" filein)", {},
                    R"(/opt/plug/"conv" /data/report.final.doc)"},
        CommandCase{"two quotes before the slash", R"(""/usr/bin/conv)", {},
                    R"(/opt/plug/""/usr/bin/conv)"},
        CommandCase{"relative path", "./conv", {}, "/opt/plug/./conv"},
        CommandCase{"no tilde expansion", "~/bin/conv", {}, "/opt/plug/~/bin/conv"},
        CommandCase{"no dollar expansion", "$HOME/conv", {{"HOME", "/home/u"}},
                    "/opt/plug/$HOME/conv"},
        CommandCase{"drive path means nothing here", R"(C:\conv)", {}, R"(/opt/plug/C:\conv)"},
        CommandCase{"plugin path placeholder", "[quendrix_path]conv filein", {},
                    "/opt/plug/conv /data/report.final.doc"},
        CommandCase{"variable with absolute path", "%TOOLS%/conv filein",
                    {{"TOOLS", "/usr/tools"}}, "/usr/tools/conv /data/report.final.doc"},
        CommandCase{"variable value inserted as it stands", "%FLAGS% filein",
                    {{"FLAGS", "/bin/x -a 'b c'"}}, "/bin/x -a 'b c' /data/report.final.doc"},
        CommandCase{"variable names keep their case", "%tools%/conv",
                    {{"TOOLS", "/usr/tools"}}, "%tools%/conv"},
        CommandCase{"unset variable", "%NOSUCHVAR%/conv", {}, "%NOSUCHVAR%/conv"},
        CommandCase{"short value skips the next token", "%a%%b%",
                    {{"a", "x"}, {"b", "y"}}, "/opt/plug/x%b%"},
        CommandCase{"token in value at resume position", "%v%",
                    {{"v", "abc%path%"}, {"path", "P"}}, "/opt/plug/abcP"},
        CommandCase{"base name and extension quoted where they land",
                    "conv -o '[N] [E]' \"[N]\" [N]", {},
                    R"(/opt/plug/conv -o 'report.final doc' "report.final" report.final)"},
        CommandCase{"placeholder inside a word", "profileinfo", {},
                    "/opt/plug/pro/data/report.final.docfo"},
        CommandCase{"redirections", "conv < filein > fileout", {},
                    "/opt/plug/conv < /data/report.final.doc > fileout"},
        CommandCase{"program after its input", "< filein conv > fileout", {},
                    "< /data/report.final.doc /opt/plug/conv > fileout"},
        CommandCase{"absolute program after its input", " < filein /bin/conv", {},
                    " < /data/report.final.doc /bin/conv"},
        CommandCase{"only the first program of a pipeline", "a filein | b > fileout", {},
                    "/opt/plug/a /data/report.final.doc | b > fileout"},
        CommandCase{"empty", "", {}, "/opt/plug/"}),
    CaseName);

// A command whose program is a bare name gets the plug-in's folder in front,
// and the entry remembers it, so that the program is looked for on PATH when
// the folder has none; a program given with a folder part, a full path or a
// variable is taken as written.
TEST(ExpansionTest, RemembersAProgramNamedWithoutAFolder) {
  struct Case {
    PathStyle style;
    std::string_view commandTemplate;
    bool bare;
  };
  for (const Case& c : {Case{PathStyle::kPosix, "conv filein", true},
                        Case{PathStyle::kPosix, "'my conv' filein", true},
                        Case{PathStyle::kPosix, "< filein conv", true},
                        Case{PathStyle::kPosix, "./conv filein", false},
                        Case{PathStyle::kPosix, "sub/conv filein", false},
                        Case{PathStyle::kPosix, "/usr/bin/conv filein", false},
                        Case{PathStyle::kPosix, "[quendrix_path]conv", false},
                        Case{PathStyle::kPosix, "%NOSUCHVAR%conv", false},
                        Case{PathStyle::kPosix, "", false},
                        Case{PathStyle::kWindows, "conv.exe filein", true},
                        Case{PathStyle::kWindows, R"("my conv.exe" filein)", true},
                        Case{PathStyle::kWindows, R"(tools\conv.exe filein)", false},
                        Case{PathStyle::kWindows, R"(C:	\conv.exe filein)", false},
                        Case{PathStyle::kWindows, R"(\server\conv.exe)", false}}) {
    const Archive archive = c.style == PathStyle::kWindows ? WindowsArchive() : PosixArchive();
    EXPECT_EQ(ExpandEntry(c.commandTemplate, "x", ContextFor(archive, c.style)).programInPluginDir,
              c.bare)
        << c.commandTemplate;
  }
}

TEST(PosixExpansionTest, MemberNamesAreNeverQuoted) {
  const Archive archive = PosixArchive("/data/it's a \"test\".$x");
  const ExpansionContext context = ContextFor(archive, PathStyle::kPosix);
  EXPECT_EQ(ExpandEntry("c", "[N] ([E]).txt", context).fileout,
            "it's a \"test\" ($x).txt");
}

TEST(PosixExpansionTest, ShortFormIsThePathItselfOrNothing) {
  const Archive archive = PosixArchive("/data/my report.doc");
  ExpansionContext context = ContextFor(archive, PathStyle::kPosix);
  context.shortFileName = true;
  context.shortPathOf = [](std::string_view path) { return std::string(path); };
  EXPECT_EQ(ExpandEntry("conv filein", "x", context).command,
            "/opt/plug/conv '/data/my report.doc'");
  context.shortPathOf = [](std::string_view) { return std::string(); };
  EXPECT_EQ(ExpandEntry("conv filein", "x", context).command,
            "/opt/plug/conv '/data/my report.doc'");
}

// A plug-in directory that needs quoting is quoted wherever it goes, and a
// quoted directory in front still counts as an absolute program path.
TEST(PosixExpansionTest, PluginDirectoryIsOneWordWhereverItGoes) {
  const Archive archive = PosixArchive("/data/a.doc", "/opt/my plug's/");
  const ExpansionContext context = ContextFor(archive, PathStyle::kPosix);
  struct Case { std::string_view commandTemplate; Words words; };
  for (const Case& c : {
           Case{"conv filein", {"/opt/my plug's/conv", "/data/a.doc"}},
           Case{"[quendrix_path]conv filein", {"/opt/my plug's/conv", "/data/a.doc"}},
           Case{"\"[quendrix_path]conv\" filein", {"/opt/my plug's/conv", "/data/a.doc"}},
           Case{"'[quendrix_path]conv' filein", {"/opt/my plug's/conv", "/data/a.doc"}},
           Case{"/bin/x -d [quendrix_path]", {"/bin/x", "-d", "/opt/my plug's/"}}}) {
    const std::string command = ExpandEntry(c.commandTemplate, "x", context).command;
    EXPECT_EQ(SplitCommandLine(command), c.words) << command;
  }
}

// Hostile archive names reach the program as exactly one argument, whatever
// quoting the template puts around "filein", and the destination filled in
// later does as well.
TEST(PosixExpansionTest, HostileArchiveNamesStayOneExactArgument) {
  const std::vector<std::string> names = {
      "/data/a b.txt",        "/data/it's.txt",       "/data/say \"hi\".txt",
      "/data/$HOME.txt",      "/data/`id`.txt",       R"(/data/back\slash.txt)",
      "/data/new\nline.txt",  "-n x.txt",             "/data/-rf",
      "/data/\xE4\xF6\xFC \xFF\x80.txt",              "/data/x\" --compress-program=evil \".txt",
      "/data/x' ; rm -rf ~ '.txt",                    "/data/tab\there.txt",
      "/data/[N] [E] fileout filein.txt",             "/data/%HOME% %a%b%.txt",
      "/data/\\",             "/data/'",              "/data/\"",
      "/data/''\"\"\\\\",     "/data/x.[quendrix_path]", ">",
      "|",                    "<",                    "/data/a>b|c<d",
      "/data/ > fileout | x", "/data/2>&1",           "/data/>>"};
  const std::string destination = "/out/new \"dest\" 'fileout' $x\\ > | <";
  struct Template {
    std::string_view text;
    const char* prefix;  // what the template puts in the argument before the path
  };
  for (const Template& t : {Template{"/usr/bin/sort -o fileout filein", ""},
                            Template{"/usr/bin/sort -o \"fileout\" \"filein\"", ""},
                            Template{"/usr/bin/sort -o 'fileout' 'filein'", ""},
                            Template{"/usr/bin/sort -o fileout x=filein", "x="},
                            Template{"/usr/bin/sort -o fileout \\filein", ""},
                            Template{"/usr/bin/sort -o fileout \"\\filein\"", "\\"}}) {
    for (const std::string& name : names) {
      const Archive archive = PosixArchive(name);
      const ExpansionContext context =
          ContextFor(archive, PathStyle::kPosix, {{"HOME", "/home/u"}, {"a", "A"}});
      const std::string command = ExpandEntry(t.text, "x", context).command;
      const Words expected = {"/usr/bin/sort", "-o", "fileout", t.prefix + name};
      EXPECT_EQ(SplitCommandLine(command), expected) << t.text << "\n" << command;

      const std::string final = ReplacePlaceholder(command, "fileout", destination,
                                                   PathStyle::kPosix, kCommandLimit);
      const Words withDestination = {"/usr/bin/sort", "-o", destination, t.prefix + name};
      EXPECT_EQ(SplitCommandLine(final), withDestination) << t.text << "\n" << final;
    }
  }
}

// Names that hold < > or | fill the places of a command with operators and
// never become operators themselves: the programs, the file read and the
// file written are exactly the ones the rule names.
TEST(PosixExpansionTest, HostileNamesNeverBecomeOperators) {
  const std::vector<std::string> names = {">", "|", "<", "/d/a>b|c<d", "/d/ > fileout | x",
                                          "/d/x' > '/etc/passwd", "/d/x\" | \"rm", "/d/\\>y"};
  const std::string destination = "/out/a > b | c < d";
  struct Template {
    std::string_view text;
    std::vector<std::vector<std::string>> stages;  // "IN" stands for the name
    bool readsInput;
  };
  const Template templates[] = {
      {"/bin/conv < filein > fileout", {{"/bin/conv"}}, true},
      {"/bin/conv < \"filein\" > 'fileout'", {{"/bin/conv"}}, true},
      {"/bin/cat filein | /bin/sort -u | /bin/tr a b > fileout",
       {{"/bin/cat", "IN"}, {"/bin/sort", "-u"}, {"/bin/tr", "a", "b"}}, false},
      {"/bin/conv x=filein>fileout", {{"/bin/conv", "x=IN"}}, false},
  };
  for (const Template& t : templates) {
    for (const std::string& name : names) {
      const Archive archive = PosixArchive(name);
      const ExpansionContext context = ContextFor(archive, PathStyle::kPosix);
      const std::string final =
          ReplacePlaceholder(ExpandEntry(t.text, "x", context).command, "fileout", destination,
                             PathStyle::kPosix, kCommandLimit);
      const ParsedCommand parsed = ParseCommandLine(final);
      ASSERT_FALSE(parsed.problem) << final;
      std::vector<std::vector<std::string>> expected = t.stages;
      for (auto& stage : expected) {
        for (std::string& word : stage) {
          if (word.ends_with("IN")) word = word.substr(0, word.size() - 2) + name;
        }
      }
      std::vector<std::vector<std::string>> stages;
      for (const PipelineStage& stage : parsed.stages) stages.push_back(stage.arguments);
      EXPECT_EQ(stages, expected) << final;
      EXPECT_EQ(parsed.input ? parsed.input->path : "", t.readsInput ? name : "") << final;
      ASSERT_TRUE(parsed.output) << final;
      EXPECT_EQ(parsed.output->path, destination) << final;
    }
  }
}

TEST(PosixExpansionTest, HostileNamesAndExtensionsStayInTheirWord) {
  for (const std::string name : {"/d/a b.c d", "/d/it's.\"x\"", "/d/$(id).`id`",
                                 "/d/-x.\n", "/d/.hidden", "/d/noext"}) {
    const Archive archive = PosixArchive(name);
    const ExpansionContext context = ContextFor(archive, PathStyle::kPosix);
    const std::string command =
        ExpandEntry("/bin/conv -o [N].[E].txt \"[N]-[E]\" '[E]'", "x", context).command;
    const Words expected = {"/bin/conv", "-o",
                            archive.baseName + "." + archive.extension + ".txt",
                            archive.baseName + "-" + archive.extension, archive.extension};
    EXPECT_EQ(SplitCommandLine(command), expected) << command;
  }
}

// A value never joins the template text on either side of it into a
// placeholder or a token, and neither does an empty value the text around
// it: a later step, or the extraction, would fill in a name that the
// template never held.
TEST(PosixExpansionTest, ValuesFormNoPlaceholderWithTheTextAroundThem) {
  struct Case {
    std::string_view pluginDir, archivePath, commandTemplate;
    Words words;
  };
  for (const Case& c : {
           Case{"/p/", "/d/fileo.txt", "/bin/x [N]ut \"[N]ut\"", {"/bin/x", "fileout", "fileout"}},
           Case{"/p/", "/d/x.fileo", "/bin/x '[E]ut' filein", {"/bin/x", "fileout", "/d/x.fileo"}},
           Case{"/p/", "/d/.txt", "/bin/x \"[[N]E]\" '[[N]E]'", {"/bin/x", "[E]", "[E]"}},
           Case{"/p%", "/d/a.txt", "[quendrix_path]HOME% filein", {"/p%HOME%", "/d/a.txt"}},
           Case{"/opt/fil", "/d/a.txt", "ein filein", {"/opt/filein", "/d/a.txt"}}}) {
    Archive archive = PosixArchive(std::string(c.archivePath), std::string(c.pluginDir));
    const ExpansionContext context =
        ContextFor(archive, PathStyle::kPosix, {{"HOME", "/home/u"}});
    const std::string command = ExpandEntry(c.commandTemplate, "x", context).command;
    const std::string final =
        ReplacePlaceholder(command, "fileout", "/out/d", PathStyle::kPosix, kCommandLimit);
    EXPECT_EQ(SplitCommandLine(final), c.words) << c.commandTemplate << "\n" << final;
  }
}

// The cut may leave a quote open; the splitter runs it to the end, and
// nothing of the value leaks into another argument.
TEST(PosixExpansionTest, CutInsideAQuotedValueKeepsOneArgument) {
  const std::string name = "/data/" + std::string(1100, 'x') + " y";
  const Archive archive = PosixArchive(name);
  const std::string command =
      ExpandEntry("/bin/conv filein", "x", ContextFor(archive, PathStyle::kPosix)).command;
  ASSERT_EQ(command.size(), kTemplateLimit);
  const Words words = SplitCommandLine(command);
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[1], name.substr(0, kTemplateLimit - 11));
}

}  // namespace
}  // namespace quendrix
