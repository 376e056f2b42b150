#include "commands/list_command.h"

#include <CLI/CLI.hpp>

#include <iomanip>
#include <ostream>

#include "client/archive_session.h"
#include "text/json_text.h"
#include "members/member_time.h"
#include "text/utf8_path.h"

namespace quendrix::host {
namespace {

void PrintTable(const Listing& listing, std::ostream& out) {
  out << "   Length  Date       Time   Name\n"
      << "---------  ---------- -----  ----\n";
  long long total = 0;
  for (const MemberHeader& member : listing.members) {
    out << std::setw(9) << member.size << "  "
        << FormatMemberTime(member.fileTime) << "  " << member.name << "\n";
    total += member.size;
  }
  const std::size_t count = listing.members.size();
  out << "---------                    -------\n"
      << std::setw(9) << total << "                    " << count
      << (count == 1 ? " member" : " members") << "\n";
}

void PrintJson(const std::string& file, const Listing& listing,
               std::ostream& out) {
  out << "{\n  \"file\": " << JsonString(file) << ",\n  \"members\": [";
  const char* separator = "\n";
  for (const MemberHeader& member : listing.members) {
    const std::string time = FormatMemberTime(member.fileTime);
    out << separator << "    {\"name\": " << JsonString(member.name)
        << ", \"size\": " << member.size
        << ", \"packedSize\": " << member.packedSize
        << ", \"fileTime\": " << static_cast<std::uint32_t>(member.fileTime) << ", \"time\": "
        << (IsValidMemberTime(member.fileTime) ? JsonString(time) : "null")
        << "}";
    separator = ",\n";
  }
  out << (listing.members.empty() ? "]" : "\n  ]");
  if (!listing.fault.empty()) {
    out << ",\n  \"error\": " << JsonString(listing.fault);
  }
  out << "\n}\n";
}

}  // namespace

int ListMembers(const PluginClient& plugin, const std::string& file,
                std::ostream& out, std::ostream& err, ListFormat format) {
  int refusal = kExitDone;
  const std::optional<Listing> listing = ListArchiveTelling(plugin, file, err, refusal);
  if (!listing) return refusal;
  if (format == ListFormat::kJson) {
    PrintJson(file, *listing, out);
  } else {
    PrintTable(*listing, out);
  }
  if (!listing->fault.empty()) {
    err << "quendrix: " << file << ": " << listing->fault << "\n";
    return kExitMemberFailed;
  }
  return kExitDone;
}

namespace {

class ListVerb final : public HostCommand {
 public:
  CLI::App* AddTo(CLI::App& app) override {
    CLI::App* command = app.add_subcommand("list", "list the members of FILE");
    command->add_option("FILE", file_, "the file to list")->required();
    command->add_flag("--json", json_, "print one JSON document, for scripts");
    return command;
  }

  int Run(const CommandContext& context) override {
    const std::optional<PluginClient> plugin = context.LoadPlugin();
    if (!plugin) return kExitRefused;
    return ListMembers(*plugin, AbsolutePath(file_), context.out, context.err,
                       json_ ? ListFormat::kJson : ListFormat::kTable);
  }

 private:
  std::string file_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<HostCommand> ListCommand() { return std::make_unique<ListVerb>(); }

}  // namespace quendrix::host
