// Declaring columns and the icon, and creating, reading and changing
// settings-page elements, through the host.
#pragma once

#include <cstdint>

#include "shell/action_ref.h"

namespace qmx {

// Declares a configuration column (call 1102, the record is the call itself).
void registerColumn(int32_t column, int32_t type, const char* name);

// Registers the plug-in's icon group resource 101 (call 10130); returns the
// id it is registered under, kElementIcon.
int32_t registerIcon();

enum class ActionForm { kShort, kLong };

// Creates a page element (call 10101). `text` may be null. `value72` is the
// 16-bit value at offset 72 of the element's record, named by its offset
// because its meaning is the host's: the page sets it to 50 for the
// information text and to 0 for every other element.
void createAction(int32_t parent, int32_t id, uint32_t status, const char* text, int32_t param,
                  uint16_t value72, ActionForm form);

// The address of a page element on the plug-in's page.
ActionRef pageElement(int32_t id);

// Reads an element's value (call 10106). The editor passes no buffer and size
// 0 and takes the answer as the address of the element's current text.
intptr_t getActionValue(const ActionRef& ref, char* buffer, int32_t size);

// Sets an element's text (call 10110).
void setActionValue(const ActionRef& ref, const char* text);

// Sets an element's status bits (call 10108).
void setActionStatus(const ActionRef& ref, uint32_t status, uint32_t statusMask);

}  // namespace qmx
