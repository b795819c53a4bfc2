#include "host/native_host_table.h"

namespace qmxhost {
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
  table_[HOST_OP_GET_PLUGIN_INSTANCE] = reinterpret_cast<HostOperation>(&getPluginInstanceOp);
  table_[HOST_OP_REPORT_NO_RESULT] = reinterpret_cast<HostOperation>(&reportNoResultOp);
  table_[HOST_OP_HOST_CALL] = reinterpret_cast<HostOperation>(&hostCallOp);
  table_[HOST_OP_READ_CONFIG] = reinterpret_cast<HostOperation>(&readConfigOp);
  table_[HOST_OP_WRITE_CONFIG] = reinterpret_cast<HostOperation>(&writeConfigOp);
}

void NativeHostTable::setOperation(int position, HostOperation operation) {
  table_[position] = operation;
}

NativeHostOperations& NativeHostTable::operationsOf(HostControl* control) {
  return *reinterpret_cast<Block*>(control)->operations;
}

}  // namespace qmxhost
