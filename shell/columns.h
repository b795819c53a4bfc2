// The plug-in's configuration columns: the ids, names and value types it
// declares to the host, which the messenger's store keeps them under.
#pragma once

#include <cstdint>

#include "shell/element_ids.h"
#include "shell/host_records.h"

namespace qmx {

struct ColumnDeclaration {
  int32_t id;
  const char* name;
  ConfigValueType type;
};

// In the order the plug-in declares them.
inline constexpr ColumnDeclaration kColumns[] = {
    {kColumnFrom, "Rewordix/From", kConfigText},
    {kColumnTo, "Rewordix/To", kConfigText},
    {kColumnType, "Rewordix/Type", kConfigText},
    {kColumnIncoming, "Rewordix/Przychodzace", kConfigInt},
    {kColumnCaseSensitive, "Rewordix/CaseSensitive", kConfigInt},
};

// The name of column `id`; null for an id that names no column.
constexpr const char* columnName(int32_t id) {
  for (const ColumnDeclaration& column : kColumns) {
    if (column.id == id) return column.name;
  }
  return nullptr;
}

}  // namespace qmx
