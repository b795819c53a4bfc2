#include "correction/ext_params.h"

namespace qmx {

namespace {

// A key is found only where a separator stands right before it and "=" right
// after it, so "quillmax" never matches inside "xquillmax=" or "quillmaxx=".
std::string needleFor(const std::string& key) {
  std::string needle;
  needle.reserve(key.size() + 2);
  needle += EXT_SEPARATOR;
  needle += key;
  needle += '=';
  return needle;
}

}  // namespace

std::string getExtParam(std::string ext, std::string key) {
  if (key.empty()) return std::string();
  const std::string needle = needleFor(key);
  const size_t found = ext.find(needle);
  if (found == std::string::npos) return std::string();
  const size_t valueStart = found + needle.size();
  const size_t valueEnd = ext.find(EXT_SEPARATOR, valueStart);
  // npos as the end takes the value up to the end of the text.
  return ext.substr(valueStart,
                    valueEnd == std::string::npos ? std::string::npos : valueEnd - valueStart);
}

std::string setExtParam(std::string ext, std::string key, std::string value) {
  if (key.empty()) return ext;
  const std::string needle = needleFor(key);
  const size_t found = ext.find(needle);
  std::string head = ext;
  std::string rest;
  if (found != std::string::npos) {
    head = ext.substr(0, found);
    // The search starts behind the entry's own separator, so the rest begins
    // with the separator of the entry that follows, if any.
    const size_t next = ext.find(EXT_SEPARATOR, found + 1);
    if (next != std::string::npos) rest = ext.substr(next);
  }
  std::string result;
  result.reserve(head.size() + needle.size() + value.size() + rest.size());
  result += head;
  result += needle;
  result += value;
  result += rest;
  return result;
}

}  // namespace qmx
