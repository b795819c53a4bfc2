#include "host/config_store.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "host/text_codec.h"

namespace qmxhost {
namespace {

// "line L, column C" of a byte offset, both counted from 1.
std::string placeOf(const std::string& text, size_t offset) {
  size_t line = 1;
  size_t column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

ConfigStore ConfigStore::loadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (!probe && errno == ENOENT) return ConfigStore();
    if (probe) std::fclose(probe);
    throw StoreError(path + ": cannot be read");
  }
  std::stringstream content;
  content << in.rdbuf();
  return parse(content.str(), path);
}

ConfigStore ConfigStore::parse(const std::string& json, const std::string& origin) {
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(json);
  } catch (const nlohmann::json::parse_error& error) {
    const size_t offset = error.byte > 0 ? error.byte - 1 : 0;
    throw StoreError(origin + ": malformed JSON at " + placeOf(json, offset));
  }
  if (!document.is_object()) {
    throw StoreError(origin + ": the store must be a JSON object of column names");
  }
  ConfigStore store;
  for (const auto& [name, value] : document.items()) {
    if (value.is_number_integer()) {
      const auto number = value.get<int64_t>();
      if (number < std::numeric_limits<int32_t>::min() ||
          number > std::numeric_limits<int32_t>::max()) {
        throw StoreError(origin + ": column \"" + name + "\" is out of the 32-bit range");
      }
      store.columns_[name] = static_cast<int32_t>(number);
    } else if (value.is_string()) {
      try {
        store.columns_[name] = utf8ToCp1250(value.get<std::string>());
      } catch (const TextCodecError& error) {
        throw StoreError(origin + ": column \"" + name + "\": " + error.what());
      }
    } else {
      throw StoreError(origin + ": column \"" + name + "\" must be an integer or a string");
    }
  }
  return store;
}

std::string ConfigStore::toJson() const {
  nlohmann::ordered_json document = nlohmann::ordered_json::object();
  for (const auto& [name, value] : columns_) {
    if (const auto* number = std::get_if<int32_t>(&value)) {
      document[name] = *number;
    } else {
      document[name] = cp1250ToUtf8(std::get<std::string>(value));
    }
  }
  return document.dump(2) + "\n";
}

void ConfigStore::saveFile(const std::string& path) const {
  std::string json;
  try {
    json = toJson();
  } catch (const TextCodecError& error) {
    throw StoreError(path + ": " + error.what());
  }
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << json;
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      throw StoreError(path + ": cannot be written");
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw StoreError(path + ": cannot be replaced");
  }
}

std::optional<int32_t> ConfigStore::integer(const std::string& name) const {
  auto found = columns_.find(name);
  if (found == columns_.end()) return std::nullopt;
  if (const auto* number = std::get_if<int32_t>(&found->second)) return *number;
  return std::nullopt;
}

std::optional<std::string> ConfigStore::text(const std::string& name) const {
  auto found = columns_.find(name);
  if (found == columns_.end()) return std::nullopt;
  if (const auto* value = std::get_if<std::string>(&found->second)) return *value;
  return std::nullopt;
}

}  // namespace qmxhost
