// The host's control object: an operation table addressed by position. The
// plug-in calls five positions and no other; tests and the simulator build
// tables of their own with exactly these signatures.
#pragma once

#include <cstdint>

#include "shell/calling_convention.h"
#include "shell/host_records.h"

namespace qmx {

struct HostControl;

// The table's entries have different signatures; each is cast back to its
// own type below before it is called.
using HostOperation = void(QMX_STDCALL*)();

struct HostControl {
  const HostOperation* operations;
};

enum HostOperationIndex : int {
  kHostOpGetPluginInstance = 3,
  kHostOpReportNoResult = 5,
  kHostOpHostCall = 7,
  kHostOpReadConfig = 21,
  kHostOpWriteConfig = 22,
  kHostOpTableSize = 23,
};

using GetPluginInstanceOp = void*(QMX_STDCALL*)(HostControl* self);
// The answer is ignored.
using ReportNoResultOp = intptr_t(QMX_STDCALL*)(HostControl* self, int code);
using HostCallOp = intptr_t(QMX_STDCALL*)(HostControl* self, IMessageArgs* record);
// Read fills in `value`; both answers are ignored.
using ConfigOp = intptr_t(QMX_STDCALL*)(HostControl* self, int reserved1, int reserved2, int column,
                                        ConfigValue* value);

}  // namespace qmx
