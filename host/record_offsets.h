// Where the fields of the host records lie for a plug-in whose addresses are
// 4 bytes wide (the DLL, the 32-bit build) or 8 bytes wide (the 64-bit
// build). The host reads and writes records through these offsets, so one
// simulator serves every build of the plug-in.
#pragma once

#include <cstddef>

namespace qmxhost {

struct RecordOffsets {
  explicit RecordOffsets(size_t pointerSize);

  size_t pointer;  // width of an address field

  // IMessageArgs
  size_t argsId = 2;
  size_t argsP1 = 22;
  size_t argsP2;
  size_t argsSize;

  // ConfigValue
  size_t configType = 0;
  size_t configValue = 2;
  size_t configSize;
  size_t configRecordSize;

  // ColumnArgs
  size_t columnId = 23;
  size_t columnType = 27;
  size_t columnName = 35;

  // IconArgs
  size_t iconId = 4;
  size_t iconInstance = 20;
  size_t iconResource;

  // ActionInfo
  size_t actionRef = 2;  // id, parent, instance
  size_t actionMask = 30;
  size_t actionStatus = 34;
  size_t actionStatusMask = 38;
  size_t actionText = 50;
  size_t actionTextSize;
  size_t actionParam;
  size_t actionValue72;
  size_t actionShortSize;
  size_t actionLongSize;

  // ChatMessage
  size_t messageBody;
  size_t messageExt;
  size_t messageFlags;
  size_t messageSize;

  // ActionEvent
  size_t eventRef = 2;
  size_t eventCode = 14;
  size_t eventHwnd = 24;
  size_t eventHwndParent;
  size_t eventPos1;
  size_t eventPos2;
  size_t eventWidth;
  size_t eventHeight;
  size_t eventSize;
};

}  // namespace qmxhost
