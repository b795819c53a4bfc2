#include "host/record_offsets.h"

namespace qmxhost {

RecordOffsets::RecordOffsets(size_t pointerSize) : pointer(pointerSize) {
  const size_t p = pointerSize;
  argsP2 = argsP1 + p;
  argsSize = argsP2 + p;

  configSize = configValue + p;
  configRecordSize = configSize + 4;

  iconResource = iconInstance + p;

  actionTextSize = actionText + p;
  actionParam = actionTextSize + 8;
  actionValue72 = actionParam + 10;
  actionShortSize = actionValue72 + 2;
  actionLongSize = actionShortSize + 4;

  messageBody = 14 + 2 * p;
  messageExt = messageBody + p;
  messageFlags = messageExt + p;
  messageSize = messageFlags + 4 + 12 + 12;

  eventHwndParent = eventHwnd + p;
  eventPos1 = eventHwndParent + p;
  eventPos2 = eventPos1 + 4;
  eventWidth = eventPos2 + 4 + 20;
  eventHeight = eventWidth + 4;
  eventSize = eventHeight + 4;
}

}  // namespace qmxhost
