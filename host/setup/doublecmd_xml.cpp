#include "setup/doublecmd_xml.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>

namespace quendrix::host {
namespace {

// Everything the file holds is read into the tree, blanks between elements
// and around the top element too (a fragment's text), and line breaks as
// they are: saved raw, such a tree gives back the bytes it was read from.
constexpr unsigned kSettingsParse =
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_wconv_attribute |
    pugi::parse_comments | pugi::parse_pi | pugi::parse_declaration | pugi::parse_doctype |
    pugi::parse_ws_pcdata | pugi::parse_fragment;

constexpr const char* kEntryName = "WcxPlugin";

class StringWriter final : public pugi::xml_writer {
 public:
  void write(const void* data, std::size_t size) override {
    text.append(static_cast<const char*>(data), size);
  }
  std::string text;
};

bool IsBlankText(const pugi::xml_node& node) {
  if (node.type() != pugi::node_pcdata) return false;
  const char* value = node.value();
  return value[std::strspn(value, " \t\r\n")] == '\0';
}

bool SameAsciiName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) {
             return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
           };
           return lower(x) == lower(y);
         });
}

// The settings as a tree, with what it takes to write them back as they
// were read.
class SettingsTree {
 public:
  // False, with the reason in `error`, for a file that is not Double
  // Commander's settings.
  bool Load(std::string_view file, std::string& error) {
    const pugi::xml_parse_result result =
        doc_.load_buffer(file.data(), file.size(), kSettingsParse, pugi::encoding_auto);
    if (!result) {
      error = std::string("it is not XML that can be read: ") + result.description() +
              " at byte " + std::to_string(result.offset);
      return false;
    }
    encoding_ = result.encoding;
    byteOrderMark_ = file.substr(0, 3) == "\xEF\xBB\xBF" || file.substr(0, 2) == "\xFF\xFE" ||
                     file.substr(0, 2) == "\xFE\xFF";
    lineBreak_ = file.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    for (const pugi::xml_node& node : doc_.children()) {
      if (node.type() == pugi::node_element) {
        if (root_) {
          error = "it holds more than one top element, so it is not well-formed XML";
          return false;
        }
        root_ = node;
      } else if (node.type() == pugi::node_pcdata && !IsBlankText(node)) {
        error = "it holds text outside its top element, so it is not well-formed XML";
        return false;
      }
    }
    if (!root_) {
      error = "it holds no XML element";
      return false;
    }
    if (std::strcmp(root_.name(), "doublecmd") != 0) {
      error = std::string("its top element is <") + root_.name() +
              ">, not the <doublecmd> of Double Commander's settings";
      return false;
    }
    // Written one element a line, or all in one line.
    indented_ = static_cast<bool>(root_.find_child([](const pugi::xml_node& node) {
      return IsBlankText(node) && std::strchr(node.value(), '\n') != nullptr;
    }));
    return true;
  }

  std::string Save() const {
    StringWriter writer;
    unsigned flags = pugi::format_raw | pugi::format_no_declaration;
    if (byteOrderMark_) flags |= pugi::format_write_bom;
    doc_.save(writer, "", flags, encoding_);
    return std::move(writer.text);
  }

  // The line break and indentation before a child of `node`, as Double
  // Commander writes them (two blanks a level); nothing in a file written
  // without them.
  std::string IndentInside(const pugi::xml_node& node) const {
    if (!indented_) return {};
    std::size_t depth = 0;
    for (pugi::xml_node up = node; up.parent(); up = up.parent()) ++depth;
    return lineBreak_ + std::string(2 * depth, ' ');
  }
  std::string IndentBefore(const pugi::xml_node& node) const {
    return IndentInside(node.parent());
  }

  // A new element `name` after the last child of `parent`, indented as its
  // siblings are.
  pugi::xml_node AppendElement(pugi::xml_node parent, const char* name) const {
    const pugi::xml_node last = parent.last_child();
    if (!indented_) return parent.append_child(name);
    if (!last) {
      parent.append_child(pugi::node_pcdata).set_value(IndentInside(parent).c_str());
      const pugi::xml_node element = parent.append_child(name);
      parent.append_child(pugi::node_pcdata).set_value(IndentBefore(parent).c_str());
      return element;
    }
    if (IsBlankText(last)) {
      parent.insert_child_before(pugi::node_pcdata, last).set_value(IndentInside(parent).c_str());
      return parent.insert_child_before(name, last);
    }
    parent.append_child(pugi::node_pcdata).set_value(IndentInside(parent).c_str());
    return parent.append_child(name);
  }

  pugi::xml_node Root() const { return root_; }

  // The list of packer plug-ins, made (with its <Plugins>) when `make` is
  // set and the file has none.
  pugi::xml_node PackerList(bool make) const {
    pugi::xml_node plugins = root_.child("Plugins");
    if (!plugins) {
      if (!make) return {};
      plugins = AppendElement(root_, "Plugins");
    }
    pugi::xml_node list = plugins.child("WcxPlugins");
    if (!list && make) list = AppendElement(plugins, "WcxPlugins");
    return list;
  }

 private:
  pugi::xml_document doc_;
  pugi::xml_node root_;
  pugi::xml_encoding encoding_ = pugi::encoding_utf8;
  bool byteOrderMark_ = false;
  bool indented_ = false;
  std::string lineBreak_ = "\n";
};

// Removes `node` with the line break and indentation before it, which
// AppendElement put there with it.
void RemoveWithIndent(const pugi::xml_node& node) {
  pugi::xml_node parent = node.parent();
  if (IsBlankText(node.previous_sibling())) parent.remove_child(node.previous_sibling());
  parent.remove_child(node);
}

bool IsEntryOf(const pugi::xml_node& node, std::string_view pluginPath) {
  return node.type() == pugi::node_element && std::strcmp(node.name(), kEntryName) == 0 &&
         node.child("Path").text().get() == pluginPath;
}

void AddTextElement(const SettingsTree& tree, pugi::xml_node parent, const char* name,
                    const std::string& text) {
  tree.AppendElement(parent, name).text().set(text.c_str());
}

}  // namespace

DoubleCmdEdit AddPackerEntries(std::string_view file, std::string_view pluginPath,
                               const std::vector<std::string>& extensions, int flags) {
  DoubleCmdEdit edit;
  SettingsTree tree;
  if (!tree.Load(file, edit.error)) return edit;

  pugi::xml_node list = tree.PackerList(false);
  std::vector<std::string> missing;
  for (const std::string& extension : extensions) {
    bool registered = false;
    for (const pugi::xml_node& entry : list.children(kEntryName)) {
      if (IsEntryOf(entry, pluginPath) &&
          SameAsciiName(entry.child("ArchiveExt").text().get(), extension)) {
        registered = true;
        break;
      }
    }
    (registered ? edit.present : missing).push_back(extension);
  }
  if (missing.empty()) {
    edit.text = std::string(file);
    return edit;
  }

  if (!list) list = tree.PackerList(true);
  // Each goes before the first entry of the list that is not a new one, so
  // the new ones keep the order of the rules at the top.
  pugi::xml_node firstOld = list.find_child(
      [](const pugi::xml_node& node) { return node.type() == pugi::node_element; });
  for (const std::string& extension : missing) {
    pugi::xml_node entry;
    if (firstOld) {
      entry = list.insert_child_before(kEntryName, firstOld);
      const std::string indent = tree.IndentInside(list);
      if (!indent.empty()) {
        list.insert_child_after(pugi::node_pcdata, entry).set_value(indent.c_str());
      }
    } else {
      entry = tree.AppendElement(list, kEntryName);
    }
    entry.append_attribute("Enabled").set_value("True");
    AddTextElement(tree, entry, "ArchiveExt", extension);
    AddTextElement(tree, entry, "Path", std::string(pluginPath));
    AddTextElement(tree, entry, "Flags", std::to_string(flags));
    edit.added.push_back(extension);
  }
  edit.text = tree.Save();
  return edit;
}

DoubleCmdEdit RemovePackerEntries(std::string_view file, std::string_view pluginPath,
                                  const std::optional<std::string>& asItWas) {
  DoubleCmdEdit edit;
  SettingsTree tree;
  if (!tree.Load(file, edit.error)) return edit;
  pugi::xml_node list = tree.PackerList(false);
  for (pugi::xml_node entry = list.first_child(); entry;) {
    const pugi::xml_node next = entry.next_sibling();
    if (!IsEntryOf(entry, pluginPath)) {
      entry = next;
      continue;
    }
    edit.removed.emplace_back(entry.child("ArchiveExt").text().get());
    // The indentation that came in with the entry: the one after it, or,
    // for the last entry, whose next blank closes the list, the one before.
    pugi::xml_node after = next;
    if (IsBlankText(next) && next.next_sibling()) {
      after = next.next_sibling();
      list.remove_child(next);
    } else if (IsBlankText(entry.previous_sibling())) {
      list.remove_child(entry.previous_sibling());
    }
    list.remove_child(entry);
    entry = after;
  }
  if (edit.removed.empty()) {
    edit.text = std::string(file);
    return edit;
  }
  // A list left with nothing but blanks is written empty, as Double
  // Commander writes an empty list.
  const auto holdsNothing = [](const pugi::xml_node& node) {
    return !node.find_child([](const pugi::xml_node& child) { return !IsBlankText(child); });
  };
  if (holdsNothing(list)) {
    while (list.first_child()) list.remove_child(list.first_child());
  }
  edit.text = tree.Save();
  // Setup made the list, and <Plugins> too, where the file had none.
  for (pugi::xml_node made = list; asItWas && edit.text != *asItWas && holdsNothing(made);) {
    const pugi::xml_node parent = made.parent();
    RemoveWithIndent(made);
    std::string text = tree.Save();
    if (text == *asItWas) {
      edit.text = std::move(text);
      break;
    }
    if (parent == tree.Root()) break;
    made = parent;
  }
  return edit;
}

}  // namespace quendrix::host
