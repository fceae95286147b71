#include "core/IniFile.h"

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <fstream>
#include <locale>
#include <sstream>

namespace pt = boost::property_tree;

namespace {

// The user's default locale for the file streams while a file is read or
// written; the classic "C" locale otherwise. An unknown locale name in the
// environment falls back to "C".
class UserLocaleScope {
 public:
  UserLocaleScope() {
    try {
      std::locale::global(std::locale(""));
    } catch (const std::runtime_error&) {
      std::locale::global(std::locale::classic());
    }
  }
  ~UserLocaleScope() { std::locale::global(std::locale::classic()); }
  UserLocaleScope(const UserLocaleScope&) = delete;
  UserLocaleScope& operator=(const UserLocaleScope&) = delete;
};

}  // namespace

bool IniFile::load(const std::string& path) {
  UserLocaleScope locale;
  try {
    std::lock_guard guard(lock_);
    path_ = path;
    pt::ptree tree;
    pt::read_ini(path, tree, std::locale());
    for (const auto& [sectionName, section] : tree) {
      auto& keys = sections_[sectionName];
      for (const auto& [key, value] : section) keys[key] = value.data();
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string IniFile::get(const std::string& section, const std::string& key) {
  std::lock_guard guard(lock_);
  const Section keys = sections_[section];
  const auto found = keys.find(key);
  return found == keys.end() ? std::string() : found->second;
}

void IniFile::set(const std::string& section, const std::string& key, const std::string& value) {
  UserLocaleScope locale;
  try {
    std::lock_guard guard(lock_);
    sections_[section][key] = value;
    pt::ptree tree;
    for (const auto& [sectionName, keys] : sections_) {
      if (sectionName.empty()) continue;
      for (const auto& [keyName, keyValue] : keys) {
        if (keyName.empty()) continue;
        tree.put(sectionName + "." + keyName, keyValue);
      }
    }
    // Serialise first: a tree the ini writer rejects (a key name holding "."
    // nests too deep) must leave the file untouched.
    std::ostringstream text;
    text.imbue(std::locale());
    pt::write_ini(text, tree);
    std::ofstream file(path_, std::ios::out | std::ios::trunc);
    file.imbue(std::locale());
    file << text.str();
  } catch (const std::exception&) {
    // the in-memory value stays set for this run
  }
}

void IniFile::clear() {
  std::lock_guard guard(lock_);
  sections_.clear();
}
