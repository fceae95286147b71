#pragma once
#include <map>
#include <mutex>
#include <string>

// One ini file held in memory by section and key, written back whole (sorted,
// without comments) on every set. Reads and writes go through boost's ini
// parser: a duplicate section or key is a parse error.
class IniFile {
 public:
  // Remembers `path` and reads the file. False when it is missing, unreadable
  // or malformed.
  bool load(const std::string& path);

  // The value, or an empty text when the section or key is missing.
  std::string get(const std::string& section, const std::string& key);

  // Stores the value and rewrites the whole file. A failing write is silent:
  // the file stays as it was, the value stays set in memory.
  void set(const std::string& section, const std::string& key, const std::string& value);

  // Forgets every section (load merges into what is held).
  void clear();

 private:
  using Section = std::map<std::string, std::string>;
  std::map<std::string, Section> sections_;
  std::mutex lock_;
  std::string path_;
};
