#include "host/config_store.h"

#include <limits>
#include <nlohmann/json.hpp>
#include <set>

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

// The rule, counted from 1, that holds the byte at `offset` of a column's
// text: the plug-in keeps one rule a line, lines ending in CR LF.
size_t ruleAt(const std::string& text, size_t offset) {
  size_t rule = 1;
  for (size_t at = text.find("\r\n"); at < offset; at = text.find("\r\n", at + 2)) ++rule;
  return rule;
}

}  // namespace

ConfigStore ConfigStore::loadFile(const std::string& path) {
  std::optional<ConfigStore> existing = loadExisting(path);
  return existing ? std::move(*existing) : ConfigStore();
}

std::optional<ConfigStore> ConfigStore::loadExisting(const std::string& path) {
  const std::optional<std::string> content = readStoreFile(path);
  if (!content) return std::nullopt;
  // A file made with touch is a store that has nothing yet.
  if (content->find_first_not_of(" \t\r\n") == std::string::npos) return ConfigStore();
  return parse(*content, path);
}

ConfigStore ConfigStore::parse(const std::string& json, const std::string& origin) {
  // The library keeps the last of two equal keys; a store whose column is
  // named twice is refused instead, since either value may be the one the
  // user meant.
  auto refuseRepeatedColumns = [&origin, seen = std::set<std::string>()](
                                   int depth, nlohmann::json::parse_event_t event,
                                   nlohmann::json& parsed) mutable {
    if (depth == 1 && event == nlohmann::json::parse_event_t::key &&
        !seen.insert(parsed.get<std::string>()).second) {
      throw StoreError(origin + ": column \"" + parsed.get<std::string>() + "\" is named twice");
    }
    return true;
  };
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(json, refuseRepeatedColumns);
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
      // Read as unsigned, 18446744073709551615 would wrap to -1.
      const bool inRange =
          value.is_number_unsigned()
              ? value.get<uint64_t>() <= uint64_t{std::numeric_limits<int32_t>::max()}
              : value.get<int64_t>() >= std::numeric_limits<int32_t>::min() &&
                    value.get<int64_t>() <= std::numeric_limits<int32_t>::max();
      if (!inRange) {
        throw StoreError(origin + ": column \"" + name + "\" is out of the 32-bit range");
      }
      store.columns_[name] = static_cast<int32_t>(value.get<int64_t>());
    } else if (value.is_string()) {
      std::string text;
      try {
        text = utf8ToCp1250(value.get<std::string>());
      } catch (const TextCodecError& error) {
        throw StoreError(origin + ": column \"" + name + "\": " + error.what());
      }
      // A CR LF needs no such check: it is what ends each rule in a column,
      // so no rule's text can hold one.
      const size_t nul = text.find('\0');
      if (nul != std::string::npos) {
        throw StoreError(origin + ": column \"" + name + "\": rule " +
                         std::to_string(ruleAt(text, nul)) + " holds a NUL byte");
      }
      store.columns_[name] = std::move(text);
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
  replaceFileAtomically(resolveStoreFile(path), json);
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
