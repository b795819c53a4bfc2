// The simulated messenger's configuration store: named columns holding an
// integer or a text, kept in a JSON file between runs.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>

namespace qmxhost {

// A store file that cannot be read or written; what() names the file and,
// for a malformed file, the place.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ConfigStore {
 public:
  // Texts are held in Windows-1250, as the plug-in reads them.
  using Value = std::variant<int32_t, std::string>;

  // Reads a JSON object of column names to integers and strings (UTF-8).
  // A missing file is an empty store. Throws StoreError for anything else
  // that cannot be read, naming the file and the line and column.
  static ConfigStore loadFile(const std::string& path);
  // Parses JSON text; `origin` names it in errors.
  static ConfigStore parse(const std::string& json, const std::string& origin);

  // Writes the store as JSON, texts in UTF-8, replacing the file only once
  // the new one is complete. Throws StoreError.
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
