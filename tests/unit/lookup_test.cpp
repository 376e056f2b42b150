#include "rules/lookup.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

namespace quendrix {
namespace {

// A rules file as a table of (section, key) -> value; names compare as the
// profile reader compares them, without regard to case.
class TableRules final : public RulesSource {
 public:
  explicit TableRules(std::map<std::pair<std::string, std::string>, std::string> values)
      : values_(Fold(std::move(values))) {}

  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue,
                   std::size_t bufferSize) const override {
    ++reads;
    const auto it = values_.find({Lower(section), Lower(key)});
    std::string value = it != values_.end() ? it->second : std::string(defaultValue);
    if (value.size() > bufferSize - 1) value.resize(bufferSize - 1);
    return value;
  }

  mutable int reads = 0;

 private:
  static std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
  }
  static std::map<std::pair<std::string, std::string>, std::string> Fold(
      std::map<std::pair<std::string, std::string>, std::string> values) {
    std::map<std::pair<std::string, std::string>, std::string> folded;
    for (auto& [key, value] : values) folded[{Lower(key.first), Lower(key.second)}] = value;
    return folded;
  }

  std::map<std::pair<std::string, std::string>, std::string> values_;
};

struct Looked {
  LookupResult result;
  RuleSettings settings;
  EntryTable table;
};

Looked Lookup(std::string_view extension, const TableRules& rules,
              EntryTable table = {}) {
  Looked looked;
  looked.table = std::move(table);
  ExpansionContext context;
  context.pathStyle = platform::PathStyle::kWindows;
  looked.result = LookupRules(extension, rules, context, looked.settings, looked.table);
  return looked;
}

std::vector<std::string> Names(const EntryTable& table) {
  std::vector<std::string> names;
  for (std::int32_t n = 1; n <= table.UpperBound(); ++n) names.push_back(table.Find(n)->fileout);
  return names;
}

TEST(LookupRulesTest, SynonymIsFollowedOnceAndItsSettingsApply) {
  const TableRules rules({{{"doc", "synonym"}, "txt"},
                          {{"doc", "command1"}, "ignored"},
                          {{"doc", "fileout1"}, "ignored"},
                          {{"txt", "synonym"}, "other"},
                          {{"txt", "command1"}, "conv filein fileout"},
                          {{"txt", "fileout1"}, "a.txt"},
                          {{"txt", "log"}, "1"},
                          {{"other", "command1"}, "never"},
                          {{"other", "fileout1"}, "never"}});
  const Looked looked = Lookup("DOC", rules);
  EXPECT_EQ(looked.result.command1, "conv filein fileout");
  EXPECT_EQ(looked.result.section, "txt");
  EXPECT_EQ(Names(looked.table), std::vector<std::string>{"a.txt"});
  EXPECT_TRUE(IsOn(looked.settings.logFlag));
}

TEST(LookupRulesTest, PairsStopAtTheFirstIncompleteNumber) {
  const TableRules rules({{{"x", "command1"}, "c1"}, {{"x", "fileout1"}, "f1"},
                          {{"x", "command2"}, "c2"}, {{"x", "fileout2"}, "f2"},
                          {{"x", "command3"}, "c3"},
                          {{"x", "command4"}, "c4"}, {{"x", "fileout4"}, "f4"},
                          {{"x", "fileout3"}, "not found"}});
  const Looked looked = Lookup("x", rules);
  EXPECT_EQ(Names(looked.table), (std::vector<std::string>{"f1", "f2"}));
  EXPECT_EQ(looked.table.Find(2)->command, "c2");
}

TEST(LookupRulesTest, MissingCommand1IsNotFoundAndListsNothing) {
  const TableRules rules({{{"x", "command2"}, "c2"}, {{"x", "fileout2"}, "f2"},
                          {{"y", "command1"}, "not found"}, {{"y", "fileout1"}, "f"}});
  EntryTable previous;
  previous.ResizeTo(5);
  for (const char* extension : {"x", "y", "z", ""}) {
    const Looked looked = Lookup(extension, rules, previous);
    EXPECT_EQ(looked.result.command1, kNotFound) << extension;
    EXPECT_EQ(looked.table.UpperBound(), 0) << extension;
    EXPECT_EQ(looked.settings.logFlag, "0");
    EXPECT_EQ(looked.settings.shortFileNameFlag, "0");
    EXPECT_EQ(looked.settings.showConsole, 0);
  }
}

TEST(LookupRulesTest, Command1WithoutAPairListsNoMembersOfAnEarlierLookup) {
  const TableRules rules({{{"x", "command1"}, "c1"}});
  EntryTable previous;
  previous.ResizeTo(5);
  previous.Find(1)->fileout = "stale";
  const Looked looked = Lookup("x", rules, previous);
  EXPECT_EQ(looked.result.command1, "c1");
  EXPECT_EQ(looked.table.UpperBound(), 0);
}

TEST(LookupRulesTest, EmptyCommand1IsSupported) {
  const TableRules rules({{{"x", "command1"}, ""}, {{"x", "fileout1"}, "f"}});
  const Looked looked = Lookup("x", rules);
  EXPECT_EQ(looked.result.command1, "");
  EXPECT_EQ(Names(looked.table), std::vector<std::string>{"f"});
}

TEST(LookupRulesTest, SettingsReadOnlyTheirFirstCharacter) {
  struct Case {
    const char* log;
    const char* showConsole;
    const char* expectLog;
    int expectShow;
  };
  for (const Case& c : {Case{"yes", "7", "y", 7}, Case{"10", "x", "1", 0},
                        Case{"1", "9", "1", 9}, Case{"", "", "", 0},
                        Case{"0", "12", "0", 1}}) {
    const TableRules rules({{{"x", "command1"}, "c"}, {{"x", "fileout1"}, "f"},
                            {{"x", "log"}, c.log}, {{"x", "ShowConsole"}, c.showConsole}});
    const Looked looked = Lookup("x", rules);
    EXPECT_EQ(looked.settings.logFlag, c.expectLog) << c.log;
    EXPECT_EQ(looked.settings.showConsole, c.expectShow) << c.showConsole;
  }
}

TEST(LookupRulesTest, LongValuesAndSectionNamesAreCut) {
  const std::string longExtension(40, 'e');
  const std::string longValue(1500, 'v');
  const TableRules rules({{{longExtension.substr(0, 29), "command1"}, longValue},
                          {{longExtension.substr(0, 29), "fileout1"}, longValue}});
  const Looked looked = Lookup(longExtension, rules);
  EXPECT_EQ(looked.result.command1.size(), 1023u);
  EXPECT_EQ(looked.table.Find(1)->command.size(), 1023u);
  EXPECT_EQ(looked.table.Find(1)->fileout.size(), 1023u);
}

TEST(LookupRulesTest, ListsAtMost32767Members) {
  std::map<std::pair<std::string, std::string>, std::string> values;
  for (int n = 1; n <= 32769; ++n) {
    values[{"x", "command" + std::to_string(n)}] = "c";
    values[{"x", "fileout" + std::to_string(n)}] = "f";
  }
  const TableRules rules(std::move(values));
  const Looked looked = Lookup("x", rules);
  EXPECT_EQ(looked.table.UpperBound(), 32767);
}

}  // namespace
}  // namespace quendrix
