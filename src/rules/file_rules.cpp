#include "rules/file_rules.h"

namespace quendrix {
namespace {

// Reads the rules file through the platform's profile reader.
class ProfileRulesSource final : public RulesSource {
 public:
  ProfileRulesSource(const std::string& path, platform::TextEncoding encoding)
      : profile_(path, encoding) {}
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue,
                   std::size_t bufferSize) const override {
    return profile_.Read(section, key, defaultValue, bufferSize);
  }

 private:
  platform::Profile profile_;
};

}  // namespace

LookupServices LookupServices::Platform(platform::TextEncoding encoding) {
  LookupServices services;
  services.openRules = [encoding](const std::string& path) {
    return std::make_unique<ProfileRulesSource>(path, encoding);
  };
  services.fileExists = [encoding](const std::string& path) {
    return platform::FileExists(path, encoding);
  };
  services.rulesFolderVariable = [encoding](std::string_view name) {
    return platform::EnvironmentPath(std::string(name), encoding);
  };
  services.environment = [encoding](std::string_view name) {
    return platform::EnvironmentValue(std::string(name), encoding);
  };
  services.shortPathOf = [encoding](std::string_view path) {
    return platform::ShortPathOf(std::string(path), encoding);
  };
  services.isProgram = [encoding](const std::string& path) {
    return platform::IsProgramFile(path, encoding);
  };
  services.searchPath = [encoding](const std::string& name) {
    return platform::FindProgramOnPath(name, encoding);
  };
  return services;
}

RulesInUse FindRulesInUse(std::string_view pluginDir, const LookupServices& services) {
  RulesInUse found;
  found.folders = RulesFolders(services.pathStyle, pluginDir, services.rulesFolderVariable);
  found.choice = ChooseRules(found.folders, services.fileExists);
  return found;
}

std::optional<FileRules> LookUpFileRules(const std::string& path, std::string_view pluginDir,
                                         const LookupServices& services) {
  const std::optional<RulesChoice> choice = FindRulesInUse(pluginDir, services).choice;
  if (!choice) return std::nullopt;
  return FileRulesIn(*choice, path, pluginDir, services);
}

FileRules FileRulesIn(const RulesChoice& rulesFile, const std::string& path,
                      std::string_view pluginDir, const LookupServices& services) {
  FileRules rules;
  rules.pathStyle = services.pathStyle;
  rules.name = SplitArchiveName(path, services.pathStyle);
  rules.rulesFile = rulesFile;
  const std::unique_ptr<RulesSource> source = services.openRules(rulesFile.rulesPath);
  rules.section = LookupRules(rules.name.extension, *source,
                              ExpansionContextOf(path, rules.name, pluginDir, services),
                              rules.settings, rules.entryTable);
  return rules;
}

ExpansionContext ExpansionContextOf(std::string_view path, const ArchiveName& name,
                                    std::string_view pluginDir,
                                    const LookupServices& services) {
  ExpansionContext context;
  context.pathStyle = services.pathStyle;
  context.pluginDir = pluginDir;
  context.archivePath = path;
  context.baseName = name.baseName;
  context.extension = name.extension;
  context.environment = services.environment;
  context.shortPathOf = services.shortPathOf;
  return context;
}

MemberEntry EntryOfMember(const FileRules& rules, std::int32_t number,
                          std::string_view listedName) {
  if (number <= rules.entryTable.UpperBound()) {
    const Entry* numbered = rules.entryTable.Find(number);
    if (numbered == nullptr) return {};
    return {*numbered, {}};
  }
  if (!rules.section.list) return {};
  if (std::optional<Entry> listed =
          ListedMemberEntry(*rules.section.list, listedName, rules.pathStyle)) {
    return {std::move(listed), {}};
  }
  Entry unmade;
  unmade.fileout = std::string(listedName);
  return {std::move(unmade), "the section has list= but no extract=, which makes listed members"};
}

std::int32_t NumberOfMemberNamed(const FileRules& rules, std::string_view name) {
  // The plug-in's headers give the numbered members first, then the listed
  // ones: a host that makes the first member of a name makes this one.
  const std::int32_t numbered = rules.entryTable.UpperBound();
  for (std::int32_t n = 1; n <= numbered; ++n) {
    if (rules.entryTable.Find(n)->fileout == name) return n;
  }
  return numbered + 1;
}

}  // namespace quendrix
