// Every call id that crosses the host boundary, in one place: the dispatch,
// the host services, the tests and the simulator all name them from here.
#pragma once

#include <cstdint>

namespace qmx {

// Calls the host makes into IMessageProc. Ids named by their number are
// questions whose purpose the host keeps to itself: the plug-in only gives
// the fixed answer the host expects, at any time, even before CALL_INIT.
enum CallId : uint32_t {
  CALL_INIT = 20001,
  CALL_DEINIT = 20002,
  QUERY_20020 = 20020,  // answered 2
  CALL_MESSAGE = 20100,
  CALL_SET_COLUMNS = 21001,
  CALL_UI_REGISTER = 22000,
  CALL_START = 22100,
  CALL_END = 22101,
  CALL_UI_ACTION = 22200,
  QUERY_PLUGIN_NUMBER = 30010,
  QUERY_PLUGIN_KIND = 30011,
  QUERY_VERSION = 30012,
  QUERY_NAME_30013 = 30013,  // the plug-in's name, asked under two ids
  QUERY_NAME_30016 = 30016,
  QUERY_30017 = 30017,  // answered 0, without the "no result" report of an unknown id
};

// Calls the plug-in makes into the host through hostCall.
enum HostCallId : uint32_t {
  HOST_LOG = 1,
  HOST_SEND_MESSAGE = 100,
  // Made only after HOST_SEND_MESSAGE took the corrected copy, carrying the
  // message number it answered (Call101Args); the answer is ignored. What
  // the host does with it is its own.
  HOST_CALL_101 = 101,
  HOST_REGISTER_COLUMN = 1102,
  HOST_CREATE_ACTION = 10101,
  HOST_GET_ACTION_VALUE = 10106,
  HOST_SET_ACTION_STATUS = 10108,
  HOST_SET_ACTION_VALUE = 10110,
  HOST_REGISTER_ICON = 10130,
};

}  // namespace qmx
