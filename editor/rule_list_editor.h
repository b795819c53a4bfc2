// The rule list on the settings page and its Add, Delete and Edit actions,
// and the manual reload of the rule base. Changes stay in memory until the
// plug-in ends.
#pragma once

#include <cstdint>
#include <string>

#include "platform/windows_api.h"
#include "shell/action_event.h"

namespace qmx {

// CALL_UI_ACTION: acts on the event's element and code; answers 0 in every
// case. Events too short for what they carry, and a null event, are ignored.
intptr_t onUiAction(ActionEvent* event);

// Inserts one row a rule into `list`, in store order.
void fillRuleList(HWND list);

// Appends a rule to the store and its row to the list, and shows the list.
void addRule(const std::string& from, const std::string& to, int type);

// Asks for confirmation, then removes every selected row and its rule.
void deleteSelectedRules();

// Copies the first selected rule into the From, To and type fields.
void editSelectedRule();

// The text of the list's type cell for a rule's type number.
const char* typeCellText(int type);

}  // namespace qmx
