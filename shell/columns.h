// The plug-in's configuration columns: the ids, names and value types it
// declares to the host, which the messenger's store keeps them under.
#pragma once

#include <cstdint>

#include "shell/element_ids.h"
#include "shell/host_records.h"

struct ColumnDeclaration {
  int32_t id;
  const char* name;
  ConfigValueType type;
};

// In the order the plug-in declares them.
inline constexpr ColumnDeclaration kColumns[] = {
    {COLUMN_FROM, "Rewordix/From", CONFIG_TEXT},
    {COLUMN_TO, "Rewordix/To", CONFIG_TEXT},
    {COLUMN_TYPE, "Rewordix/Type", CONFIG_TEXT},
    {COLUMN_INCOMING, "Rewordix/Przychodzace", CONFIG_INT},
    {COLUMN_CASE_SENSITIVE, "Rewordix/CaseSensitive", CONFIG_INT},
};

// The name of column `id`; null for an id that names no column.
constexpr const char* columnName(int32_t id) {
  for (const ColumnDeclaration& column : kColumns) {
    if (column.id == id) return column.name;
  }
  return nullptr;
}
