// The pure pieces of quendrix setup: which extensions the rules serve, the
// block it puts into mc's extension file and takes out again, and the diff
// that --dry-run shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/line_diff.h"
#include "setup/mc_ext_ini.h"
#include "setup/served_extensions.h"

namespace quendrix::host {
namespace {

using Names = std::vector<std::string>;

TEST(ServedExtensionsTest, TakesEverySectionThatALookupServes) {
  const ServedExtensions served = ServedExtensionsOf(
      "command1=before any header\nfileout1=x\n"
      "[pdf]\ncommand1=pdftotext filein fileout\nfileout1=[N].txt\n"
      "[zip]\nlist=unzip -Z1 filein\nextract=unzip -p filein [M] > fileout\n"
      "[PDFA]\nsynonym=PDF\n"              // a synonym of a served section
      "[odd]\nsynonym=nowhere\n"           // a synonym of nothing
      "[half]\nfileout1=[N].txt\n"         // no command1, no list=
      "[empty]\n"
      "[Zip]\ncommand1=x filein fileout\n"  // the same name again: never read
      "[chain]\nsynonym=PDFA\n"            // one step only: [PDFA] has no command1
      "[tar.gz]\ncommand1=x filein fileout\nfileout1=y\n"
      "[a b]\ncommand1=x filein fileout\nfileout1=y\n"
      "[x/y]\ncommand1=x filein fileout\nfileout1=y\n"
      "[aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa]\ncommand1=x filein fileout\nfileout1=y\n"  // 30 characters
      "[h%]\ncommand1=x filein fileout\nfileout1=y\n");
  EXPECT_EQ(served.extensions, (Names{"pdf", "zip", "PDFA"}));
  Names left;
  for (const UnregistrableSection& section : served.unregistrable) left.push_back(section.name);
  EXPECT_EQ(left, (Names{"tar.gz", "a b", "x/y", "h%"}));
  EXPECT_EQ(served.unregistrable[0].why, "a file's extension is what follows its last dot");
}

TEST(ServedExtensionsTest, ReadsAUtf16RulesFile) {
  // "[txt]\r\ncommand1=a\r\nfileout1=b\r\n" in UTF-16 LE with its mark.
  std::string bytes = "\xFF\xFE";
  for (const char c : std::string("[txt]\r\ncommand1=a\r\nfileout1=b\r\n")) {
    bytes += c;
    bytes += '\0';
  }
  EXPECT_EQ(ServedExtensionsOf(bytes).extensions, (Names{"txt"}));
}

// The block in a small file of mc's form, as it is added: byte for byte.
TEST(McExtIniTest, PutsTheBlockAfterTheKeysOfMcExtIni) {
  const std::string file =
      "# mc's own comment\n"
      "[mc.ext.ini]\n"
      "Version=4.0\n"
      "\n"
      "### Archives ###\n"
      "[tar]\n"
      "Shell=.tar\n";
  const McEdit edit = AddMcBlock(file, {"pdf", "Tar"}, "");
  ASSERT_EQ(edit.error, "");
  EXPECT_EQ(edit.text,
            "# mc's own comment\n"
            "[mc.ext.ini]\n"
            "Version=4.0\n"
            "\n"
            "### quendrix setup mc: begin. `quendrix setup mc --undo` takes these lines out "
            "again. ###\n"
            "### Enter opens a file of these kinds as the folder of its members. ###\n"
            "[quendrix.pdf]\n"
            "Shell=.pdf\n"
            "ShellIgnoreCase=true\n"
            "Open=%cd %p/uquendrix://\n"
            "\n"
            "[quendrix.Tar]\n"
            "Shell=.Tar\n"
            "ShellIgnoreCase=true\n"
            "Open=%cd %p/uquendrix://\n"
            "### quendrix setup mc: end ###\n"
            "\n"
            "### Archives ###\n"
            "[tar]\n"
            "Shell=.tar\n");
  EXPECT_EQ(edit.added, (Names{"pdf", "Tar"}));
  const McEdit undone = RemoveMcBlock(edit.text);
  EXPECT_EQ(undone.text, file);
  EXPECT_EQ(undone.removed, (Names{"pdf", "Tar"}));
}

// Whatever the shape of the file around [mc.ext.ini], the block comes
// after its keys, a second add changes nothing, and the removal gives back
// the file's bytes.
TEST(McExtIniTest, AddsOnceAndRemovesToTheSameBytes) {
  struct Case {
    std::string_view label;
    std::string file;
    std::string_view before;  // the text that the block must follow directly
  };
  const Case cases[] = {
      {"keys then a header", "[mc.ext.ini]\nVersion=4.0\n[x]\nShell=.x\n", "Version=4.0\n"},
      {"blank lines", "[mc.ext.ini]\nVersion=4.0\n\n\n[x]\n", "Version=4.0\n\n\n"},
      {"comment in the section", "[mc.ext.ini]\n# c\nVersion=4.0\n# next\n[x]\n",
       "Version=4.0\n"},
      {"the last section", "[mc.ext.ini]\nVersion=4.0\n", "Version=4.0\n"},
      {"no line break at the end", "[mc.ext.ini]\nVersion=4.0", "Version=4.0\n"},
      {"header alone", "[mc.ext.ini]", "[mc.ext.ini]\n"},
      {"CR LF lines", "[mc.ext.ini]\r\nVersion=4.0\r\n\r\n[x]\r\n", "Version=4.0\r\n\r\n"},
      {"indented header", "  [mc.ext.ini]  \nVersion=4.0\n[x]\n", "Version=4.0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const McEdit added = AddMcBlock(c.file, {"pdf"}, "");
    ASSERT_EQ(added.error, "");
    const std::size_t block = added.text.find(kMcBlockBegin);
    ASSERT_NE(block, std::string::npos);
    EXPECT_EQ(added.text.substr(block - c.before.size(), c.before.size()), c.before);
    const bool crlf = c.file.find('\r') != std::string::npos;
    EXPECT_EQ(added.text.find("Open=%cd %p/uquendrix://\r\n") != std::string::npos, crlf);

    const McEdit again = AddMcBlock(added.text, {"pdf"}, "");
    EXPECT_EQ(again.text, added.text);
    EXPECT_TRUE(again.added.empty());
    EXPECT_EQ(RemoveMcBlock(added.text).text, c.file);
  }
}

TEST(McExtIniTest, WritesTheBlockAnewWhenTheRulesChanged) {
  const std::string file = "[mc.ext.ini]\nVersion=4.0\n\n[x]\n";
  const McEdit first = AddMcBlock(file, {"pdf", "txt"}, "/etc/mc/mc.ext.ini");
  const McEdit second = AddMcBlock(first.text, {"txt", "zip"}, "");
  ASSERT_EQ(second.error, "");
  EXPECT_EQ(second.added, (Names{"zip"}));
  EXPECT_EQ(second.removed, (Names{"pdf"}));
  EXPECT_EQ(second.text, AddMcBlock(file, {"txt", "zip"}, "/etc/mc/mc.ext.ini").text);
  // The file's origin is kept, so that --undo can still give mc its own.
  const McEdit undone = RemoveMcBlock(second.text);
  EXPECT_EQ(undone.madeFrom, "/etc/mc/mc.ext.ini");
  EXPECT_EQ(undone.text, file);
}

TEST(McExtIniTest, LeavesAFileItCannotReadAsItIs) {
  const std::string begin = std::string(kMcBlockBegin) + " ###\n";
  const std::string end = std::string(kMcBlockEnd) + " ###\n";
  struct Case {
    std::string_view label;
    std::string file;
    std::string_view error;
  };
  const Case cases[] = {
      {"no [mc.ext.ini]", "[tar]\nShell=.tar\n", "it has no [mc.ext.ini] section"},
      {"begin without end", "[mc.ext.ini]\n" + begin + "[quendrix.pdf]\n", "has no end line"},
      {"end without begin", "[mc.ext.ini]\n" + end, "no begin line opens"},
      {"two blocks", "[mc.ext.ini]\n" + begin + end + begin + end, "a second begin line"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const McEdit added = AddMcBlock(c.file, {"pdf"}, "");
    EXPECT_NE(added.error.find(c.error), std::string::npos) << added.error;
    EXPECT_EQ(added.text, "");
    if (c.label != "no [mc.ext.ini]") {
      EXPECT_NE(RemoveMcBlock(c.file).error.find(c.error), std::string::npos);
    }
  }
  // A file without the block is no error for the removal.
  const McEdit none = RemoveMcBlock("[mc.ext.ini]\nVersion=4.0\n");
  EXPECT_EQ(none.error, "");
  EXPECT_EQ(none.text, "[mc.ext.ini]\nVersion=4.0\n");
  EXPECT_TRUE(none.removed.empty());
}

TEST(LineDiffTest, ShowsAChangeAsDiffDoes) {
  struct Case {
    std::string_view label;
    std::string before;
    std::string after;
    std::string diff;  // after the two header lines
  };
  const Case cases[] = {
      {"same", "a\nb\n", "a\nb\n", ""},
      {"inserted in the middle", "1\n2\n3\n4\n5\n6\n7\n8\n", "1\n2\n3\n4\nnew\n5\n6\n7\n8\n",
       "@@ -2,6 +2,7 @@\n 2\n 3\n 4\n+new\n 5\n 6\n 7\n"},
      {"a new file", "", "x\ny\n", "@@ -0,0 +1,2 @@\n+x\n+y\n"},
      {"a removed file", "x\n", "", "@@ -1 +0,0 @@\n-x\n"},
      {"no line break at the end", "a\nb", "a\nb\n",
       "@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+b\n"},
      {"two hunks", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n",
       "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n",
       "@@ -1,3 +1,4 @@\n+0\n 1\n 2\n 3\n@@ -9,4 +10,3 @@\n 9\n 10\n 11\n-12\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string diff = UnifiedDiff(c.before, c.after, "old", "new");
    if (c.diff.empty()) {
      EXPECT_EQ(diff, "");
      continue;
    }
    EXPECT_EQ(diff, "--- old\n+++ new\n" + c.diff);
  }
}

}  // namespace
}  // namespace quendrix::host
