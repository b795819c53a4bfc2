#include "host/native_host_table.h"

namespace qmxhost {

using namespace qmx;

namespace {

void* QMX_STDCALL getPluginInstanceOp(HostControl* self) {
  return NativeHostTable::operationsOf(self).getPluginInstance();
}

intptr_t QMX_STDCALL reportNoResultOp(HostControl* self, int code) {
  NativeHostTable::operationsOf(self).reportNoResult(code);
  return 0;
}

intptr_t QMX_STDCALL hostCallOp(HostControl* self, IMessageArgs* record) {
  return NativeHostTable::operationsOf(self).hostCall(record);
}

intptr_t QMX_STDCALL readConfigOp(HostControl* self, int reserved1, int reserved2, int column,
                                  ConfigValue* value) {
  NativeHostTable::operationsOf(self).readConfig(reserved1, reserved2, column, value);
  return 0;
}

intptr_t QMX_STDCALL writeConfigOp(HostControl* self, int reserved1, int reserved2, int column,
                                   ConfigValue* value) {
  NativeHostTable::operationsOf(self).writeConfig(reserved1, reserved2, column, value);
  return 0;
}

}  // namespace

NativeHostTable::NativeHostTable(NativeHostOperations& operations)
    : block_{HostControl{table_}, &operations} {
  table_[kHostOpGetPluginInstance] = reinterpret_cast<HostOperation>(&getPluginInstanceOp);
  table_[kHostOpReportNoResult] = reinterpret_cast<HostOperation>(&reportNoResultOp);
  table_[kHostOpHostCall] = reinterpret_cast<HostOperation>(&hostCallOp);
  table_[kHostOpReadConfig] = reinterpret_cast<HostOperation>(&readConfigOp);
  table_[kHostOpWriteConfig] = reinterpret_cast<HostOperation>(&writeConfigOp);
}

void NativeHostTable::setOperation(int position, HostOperation operation) {
  table_[position] = operation;
}

NativeHostOperations& NativeHostTable::operationsOf(HostControl* control) {
  return *reinterpret_cast<Block*>(control)->operations;
}

}  // namespace qmxhost
