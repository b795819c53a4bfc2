// The plug-in's one exported function.
#pragma once

#include <cstdint>

#include "shell/calling_convention.h"
#include "shell/host_records.h"

// Every call from the host arrives here. Answers an integer, or for the text
// queries the address of a text the plug-in keeps while it is loaded. A null
// record answers 0 and calls nothing; nothing is ever thrown to the host.
// The one name of the plug-in outside its namespace.
extern "C" QMX_EXPORT intptr_t QMX_STDCALL IMessageProc(qmx::IMessageArgs* args);
