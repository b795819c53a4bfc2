// The simulated messenger's configuration store: named columns holding an
// integer or a text, kept in a JSON file between runs.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

#include "host/store_file.h"

namespace qmxhost {

class ConfigStore {
 public:
  // Texts are held in Windows-1250, as the plug-in reads them.
  using Value = std::variant<int32_t, std::string>;

  // Reads a JSON object of column names to integers and strings (UTF-8).
  // A missing file, or one holding nothing but white space, is an empty
  // store. Throws StoreError for anything else
  // that cannot be read, naming the file and the line and column.
  static ConfigStore loadFile(const std::string& path);
  // The same, but nothing for a missing file.
  static std::optional<ConfigStore> loadExisting(const std::string& path);
  // Parses JSON text; `origin` names it in errors. Refuses, besides
  // malformed JSON, a column named twice, an integer outside 32 bits, and a
  // text holding a NUL byte (the plug-in would read its texts only up to
  // it, and save the rest of the rules away), naming the column and the
  // rule.
  static ConfigStore parse(const std::string& json, const std::string& origin);

  // Writes the store as JSON, texts in UTF-8, through symbolic links to
  // the file they name, replacing it atomically (see
  // replaceFileAtomically). Throws StoreError.
  void saveFile(const std::string& path) const;
  std::string toJson() const;

  std::optional<int32_t> integer(const std::string& name) const;
  std::optional<std::string> text(const std::string& name) const;
  void setInteger(const std::string& name, int32_t value) { columns_[name] = value; }
  void setText(const std::string& name, const std::string& cp1250) { columns_[name] = cp1250; }
  void erase(const std::string& name) { columns_.erase(name); }
  const std::map<std::string, Value>& columns() const { return columns_; }

 private:
  std::map<std::string, Value> columns_;
};

}  // namespace qmxhost
