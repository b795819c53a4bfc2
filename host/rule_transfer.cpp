#include "host/rule_transfer.h"

#include <nlohmann/json.hpp>

namespace qmxhost {
namespace {

std::string escapeTsv(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '\t':
        escaped += "\\t";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\\':
        escaped += "\\\\";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string unescapeTsv(const std::string& field, const std::string& place) {
  std::string text;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      text += field[i];
      continue;
    }
    const char escaped = i + 1 < field.size() ? field[++i] : '\0';
    switch (escaped) {
      case 't':
        text += '\t';
        break;
      case 'n':
        text += '\n';
        break;
      case 'r':
        text += '\r';
        break;
      case '\\':
        text += '\\';
        break;
      default:
        // A lone backslash is refused rather than guessed at: a pattern's
        // backslash must reach the rule as written.
        throw TransferError(
            place + ": a backslash stands before " +
            (escaped ? "\"" + std::string(1, escaped) + "\"" : "the line's end") +
            "; write a backslash as \\\\, a tab as \\t, a line break as \\n or \\r");
    }
  }
  return text;
}

}  // namespace

std::string writeTsv(const std::vector<TransferredRule>& rules) {
  std::string text;
  for (const TransferredRule& rule : rules) {
    text += escapeTsv(rule.from) + '\t' + escapeTsv(rule.to) + '\t' + rule.type + '\n';
  }
  return text;
}

std::vector<TransferredRule> readTsv(const std::string& text) {
  std::vector<TransferredRule> rules;
  size_t number = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::string place = "line " + std::to_string(number);
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
      const size_t tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (fields.size() < 2 || fields.size() > 3) {
      throw TransferError(place + ": " + std::to_string(fields.size()) +
                          (fields.size() == 1 ? " field" : " fields") +
                          ", where a rule is From, To and its type (word or perl), separated by "
                          "tabs");
    }
    rules.push_back({unescapeTsv(fields[0], place), unescapeTsv(fields[1], place),
                     fields.size() == 3 ? fields[2] : "word", place});
  }
  return rules;
}

std::string writeJson(const std::vector<TransferredRule>& rules) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const TransferredRule& rule : rules) {
    list.push_back({{"from", rule.from}, {"to", rule.to}, {"type", rule.type}});
  }
  return list.dump(2) + "\n";
}

std::vector<TransferredRule> readJson(const std::string& text) {
  nlohmann::json list;
  try {
    list = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& error) {
    throw TransferError("malformed JSON at byte " + std::to_string(error.byte));
  }
  if (!list.is_array()) throw TransferError("the rules must be a JSON array of objects");
  std::vector<TransferredRule> rules;
  for (size_t i = 0; i < list.size(); ++i) {
    const nlohmann::json& entry = list[i];
    const std::string place = "entry " + std::to_string(i + 1);
    if (!entry.is_object()) throw TransferError(place + ": not an object");
    TransferredRule rule{"", "", "word", place};
    bool hasFrom = false, hasTo = false;
    for (const auto& [key, value] : entry.items()) {
      if (!value.is_string()) throw TransferError(place + ": \"" + key + "\" must be a string");
      if (key == "from") {
        rule.from = value.get<std::string>();
        hasFrom = true;
      } else if (key == "to") {
        rule.to = value.get<std::string>();
        hasTo = true;
      } else if (key == "type") {
        rule.type = value.get<std::string>();
      } else {
        throw TransferError(place + ": unknown key \"" + key + "\" (a rule has from, to, type)");
      }
    }
    if (!hasFrom || !hasTo) throw TransferError(place + ": a rule needs \"from\" and \"to\"");
    rules.push_back(std::move(rule));
  }
  return rules;
}

}  // namespace qmxhost
