#include "shell/page_services.h"

#include "shell/call_ids.h"
#include "shell/element_ids.h"
#include "shell/host_services.h"
#include "shell/page_records.h"

namespace qmx {

namespace {

// Which fields a call carries: bit 0x1 status and statusMask, bit 0x40 text
// and textSize; the value calls add 0x10000.
constexpr uint32_t kCreateMask = 0x35F;
constexpr uint32_t kValueMask = 0x10040;
constexpr uint32_t kStatusMask = 0x1;
constexpr uint32_t kAllStatusBits = 0xFFFFFFFF;

constexpr int32_t kIconResourceId = 101;

intptr_t sendActionInfo(uint32_t callId, ActionInfo& info) {
  return hostCall(callId, reinterpret_cast<intptr_t>(&info), 0);
}

ActionInfo valueCallRecord(const ActionRef& ref, uint32_t mask) {
  ActionInfo info{};
  info.size = kActionInfoShortSize;
  info.ref = ref;
  info.mask = mask;
  return info;
}

}  // namespace

void registerColumn(int32_t column, int32_t type, const char* name) {
  ColumnArgs args{};
  args.size = sizeof(ColumnArgs);
  args.id = HOST_REGISTER_COLUMN;
  args.column = column;
  args.type = type;
  args.name = reinterpret_cast<intptr_t>(name);
  hostCallRecord(reinterpret_cast<IMessageArgs*>(&args));
}

int32_t registerIcon() {
  IconArgs args{};
  args.size = sizeof(IconArgs);
  args.iconId = kElementIcon;
  args.value8 = 1;
  args.value16 = 1;
  args.instance = reinterpret_cast<intptr_t>(getPluginInstance());
  args.resourceId = kIconResourceId;
  hostCall(HOST_REGISTER_ICON, reinterpret_cast<intptr_t>(&args), 0);
  return kElementIcon;
}

void createAction(int32_t parent, int32_t id, uint32_t status, const char* text, int32_t param,
                  uint16_t value72, ActionForm form) {
  ActionInfo info{};
  info.size = form == ActionForm::kLong ? kActionInfoLongSize : kActionInfoShortSize;
  info.ref = ActionRef{id, parent, kActionInstance};
  info.value14 = -1;
  info.mask = kCreateMask;
  info.status = status;
  info.statusMask = kAllStatusBits;
  info.text = reinterpret_cast<intptr_t>(text);
  info.param = param;
  info.value72 = value72;
  sendActionInfo(HOST_CREATE_ACTION, info);
}

ActionRef pageElement(int32_t id) {
  return ActionRef{id, kElementPage, kActionInstance};
}

intptr_t getActionValue(const ActionRef& ref, char* buffer, int32_t size) {
  ActionInfo info = valueCallRecord(ref, kValueMask);
  info.text = reinterpret_cast<intptr_t>(buffer);
  info.textSize = size;
  return sendActionInfo(HOST_GET_ACTION_VALUE, info);
}

void setActionValue(const ActionRef& ref, const char* text) {
  ActionInfo info = valueCallRecord(ref, kValueMask);
  info.text = reinterpret_cast<intptr_t>(text);
  sendActionInfo(HOST_SET_ACTION_VALUE, info);
}

void setActionStatus(const ActionRef& ref, uint32_t status, uint32_t statusMask) {
  ActionInfo info = valueCallRecord(ref, kStatusMask);
  info.status = status;
  info.statusMask = statusMask;
  sendActionInfo(HOST_SET_ACTION_STATUS, info);
}

}  // namespace qmx
