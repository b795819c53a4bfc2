#include "rules/rule_store.h"

#include <cassert>
#include <cstddef>
#include <string>

#include "shell/element_ids.h"
#include "shell/host_services.h"

namespace qmx {

namespace {

// Lives as long as the module; empty until the first load.
RuleStore g_store;
// The store holds every rule of the configuration: the last load finished.
bool g_loaded = false;

}  // namespace

const RuleStore& ruleStore() {
  return g_store;
}

void loadRuleBase() {
  // "Ładuję bazę zmian"
  hostLog(
      "\xa3"
      "aduj\xea baz\xea zmian");
  g_store = RuleStore();
  g_loaded = false;
  // "Wczytuję dane z konfiguracji"
  hostLog("Wczytuj\xea dane z konfiguracji");

  try {
    // Each text is copied before the next read: the host may reuse its
    // buffer.
    const std::string fromText = readConfigText(kColumnFrom);
    const std::string toText = readConfigText(kColumnTo);
    const std::string typeText = readConfigText(kColumnType);
    // Built aside and moved in, which cannot throw: a load that fails
    // leaves the empty store above.
    g_store = parseRuleColumns(fromText, toText, typeText);
  } catch (...) {
    // Out of memory for a huge rule base, say. The plug-in goes on without
    // rules, and since g_loaded stays false the end of the session leaves
    // the stored rules as they are instead of writing this empty store
    // over them. "Nie udało się załadować bazy zmian"
    g_store = RuleStore();
    hostLog(
        "Nie uda\xb3o si\xea za\xb3"
        "adowa\xe6 bazy zmian");
    return;
  }
  // The store's own check (see RuleStore::append), here for the whole
  // list a load moves in.
  assert(g_store.aligned());
  g_loaded = true;
  const size_t count = g_store.From.size();

  // "Baza załadowana %d wpisów"
  hostLog(
      "Baza za\xb3"
      "adowana %d wpis\xf3w",
      static_cast<int>(count));
}

bool ruleBaseLoaded() {
  return g_loaded;
}

void resetRuleBaseLoaded() {
  g_loaded = false;
}

void saveRuleBase() {
  const std::string fromText = joinColumn(g_store.From);
  const std::string toText = joinColumn(g_store.To);
  const std::string typeText = joinColumn(g_store.Type);
  setConfigString(kColumnFrom, fromText.c_str());
  setConfigString(kColumnTo, toText.c_str());
  setConfigString(kColumnType, typeText.c_str());
}

size_t ruleCount() {
  return g_store.From.size();
}

const std::string& ruleFrom(size_t index) {
  return g_store.From.at(index);
}

const std::string& ruleTo(size_t index) {
  return g_store.To.at(index);
}

const std::string& ruleType(size_t index) {
  return g_store.Type.at(index);
}

int ruleTypeNumber(size_t index) {
  return readTypeNumber(ruleType(index));
}

void appendRule(const std::string& from, const std::string& to, int type) {
  g_store.append(from, to, std::to_string(type));
}

void removeRule(size_t index) {
  g_store.remove(index);
}

}  // namespace qmx
