#include "check/program_report.h"

#include <map>
#include <memory>

namespace quendrix {
namespace {

using platform::PathStyle;

std::string_view SearchPathName(PathStyle style) {
  return style == PathStyle::kPosix ? "PATH" : "the system's search path";
}

// The first %NAME% token of a path that the expansion left in place, whose
// variable is therefore not set.
std::optional<std::string> UnsetVariable(std::string_view path) {
  const std::optional<Token> token = FindToken(path, 0);
  if (!token) return std::nullopt;
  return std::string(path.substr(token->position + 1, token->length - 2));
}

}  // namespace

ProgramLookup CachedProgramLookup(const CheckServices& services) {
  struct Cache {
    std::map<std::string, bool> programs;
    std::map<std::string, std::optional<std::string>> names;
  };
  auto cache = std::make_shared<Cache>();
  ProgramLookup lookup = ProgramLookupOf(services.pluginDir, services);
  if (lookup.isProgram) {
    lookup.isProgram = [cache, ask = std::move(lookup.isProgram)](const std::string& path) {
      const auto [at, added] = cache->programs.try_emplace(path, false);
      if (added) at->second = ask(path);
      return at->second;
    };
  }
  if (lookup.searchPath) {
    lookup.searchPath = [cache, ask = std::move(lookup.searchPath)](const std::string& name) {
      const auto [at, added] = cache->names.try_emplace(name, std::nullopt);
      if (added) at->second = ask(name);
      return at->second;
    };
  }
  return lookup;
}

std::string WhereBareNamesAreLooked(const CheckServices& services) {
  std::string where = "neither in the plug-in's folder (" + services.pluginDir + ") nor in its " +
                      RecipesFolderOf("", services.pathStyle) + " nor on " +
                      std::string(SearchPathName(services.pathStyle));
  if (services.pathStyle == PathStyle::kPosix && services.environment) {
    const std::string path = services.environment("PATH");
    where += path.empty() ? " (not set: /bin:/usr/bin)" : " (" + path + ")";
  }
  return where;
}

namespace {

enum class Missing { kNoFile, kNotExecutable, kUnsetVariable };

// Why a program named by its path cannot start.
Missing WhyMissing(const ProgramChoice& program, const CheckServices& services) {
  if (UnsetVariable(program.path)) return Missing::kUnsetVariable;
  if (services.pathStyle == PathStyle::kPosix && services.fileExists &&
      services.fileExists(program.path)) {
    return Missing::kNotExecutable;
  }
  return Missing::kNoFile;
}

}  // namespace

std::string DescribeProgram(const ProgramChoice& program, const CheckServices& services) {
  switch (program.source) {
    case ProgramSource::kPluginFolder:
      return program.path + " (in the plug-in's folder)";
    case ProgramSource::kRecipesFolder:
      return program.path + " (in the plug-in's recipes folder)";
    case ProgramSource::kSearchPath:
      return program.path + " (on " + std::string(SearchPathName(services.pathStyle)) +
             "; neither the plug-in's folder nor its recipes folder has it)";
    case ProgramSource::kNotFound:
      return program.name + ": none, " + WhereBareNamesAreLooked(services);
    case ProgramSource::kAsWritten:
      break;
  }
  if (program.exists) return program.path;
  switch (WhyMissing(program, services)) {
    case Missing::kUnsetVariable:
      return program.path + " (the environment variable " + *UnsetVariable(program.path) +
             " is not set here)";
    case Missing::kNotExecutable: return program.path + " (not executable)";
    case Missing::kNoFile: break;
  }
  return program.path + " (there is no such program)";
}

std::optional<std::string> ProgramProblem(const ProgramChoice& program,
                                          const CheckServices& services) {
  if (program.exists) return std::nullopt;
  if (program.source == ProgramSource::kNotFound) {
    if (const std::optional<std::string> variable = UnsetVariable(program.name)) {
      return "the environment variable " + *variable + " is not set here, so " +
             program.name + " names no program";
    }
    return "there is no program " + program.name + ", " + WhereBareNamesAreLooked(services);
  }
  switch (WhyMissing(program, services)) {
    case Missing::kUnsetVariable:
      return "the environment variable " + *UnsetVariable(program.path) +
             " is not set here, so " + program.path + " names no program";
    case Missing::kNotExecutable:
      return program.path + " is not executable (chmod +x makes it so)";
    case Missing::kNoFile: break;
  }
  return "there is no program " + program.path;
}

}  // namespace quendrix
