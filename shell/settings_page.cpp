#include "shell/settings_page.h"

#include "shell/columns.h"
#include "shell/element_ids.h"
#include "shell/element_kinds.h"
#include "shell/host_services.h"
#include "shell/identity.h"
#include "shell/page_services.h"

namespace qmx {

namespace {

// The host's parent for a plug-in's page.
constexpr int32_t kSettingsParent = 46;
// The value at offset 72 that the formatted information text carries.
constexpr uint16_t kInformationValue72 = 50;

// A caption with a tip is sent as the caption, the byte 0x01, then the tip;
// the buttons' captions end in 0x01 with an empty tip. Texts in Windows-1250.
struct PageElement {
  int32_t id;
  ActionForm form;
  uint32_t status;
  const char* text;  // null: the information text is filled in at run time
  int32_t param;
};

constexpr int32_t kNone = 0;

const PageElement kPageElements[] = {
    {kNone, ActionForm::kShort, kGroupStart, "Ustawienia:", 0},
    {kElementRuleList, ActionForm::kLong, kCustomWindow, "Lista", 0},
    // "Zamień z:"
    {kNone, ActionForm::kShort, kLabel, "Zamie\xf1 z:", 0},
    // "Zamień z:" with the tip "Co ma zmieniać"
    {kElementFromField, ActionForm::kLong, kTextField,
     "Zamie\xf1 z:\x01"
     "Co ma zmienia\xe6",
     kElementFromField},
    // "Zamień na:"
    {kNone, ActionForm::kShort, kLabel, "Zamie\xf1 na:", 0},
    // "Zamień na:" with the tip "Na co ma zmieniać"
    {kElementToField, ActionForm::kLong, kTextField, "Zamie\xf1 na:\x01Na co ma zmienia\xe6",
     kElementToField},
    {kNone, ActionForm::kShort, kLabel, "Typ:", 0},
    // "Słowo" and "Perl", one choice a line
    {kElementTypeChoice, ActionForm::kLong, kChoice, "S\xb3owo\nPerl", kElementTypeChoice},
    {kElementAddButton, ActionForm::kLong, kButton, "Dodaj\x01", 0},
    // "Usuń"
    {kElementDeleteButton, ActionForm::kLong, kButton, "Usu\xf1\x01", 0},
    {kElementEditButton, ActionForm::kLong, kButton, "Edytuj\x01", 0},
    {kElementSaveButton, ActionForm::kLong, kSaveButton, "Zapisz\x01", 0},
    // "Zwracaj uwagę na wielkość znaków" with the tip "W regułach wyrazowych
    // ważna jest wielkość znaków."; param names the column the host keeps
    // the check box's value in.
    {kElementCaseSensitive, ActionForm::kLong, kCheckBox,
     "Zwracaj uwag\xea na wielko\x9c\xe6 znak\xf3w\x01W regu\xb3"
     "ach wyrazowych wa\xbfna jest wielko\x9c\xe6 znak\xf3w.",
     kColumnCaseSensitive},
    {kNone, ActionForm::kShort, kGroupEnd, nullptr, 0},
    {kNone, ActionForm::kShort, kGroupStart, "Informacje:", 0},
    {kNone, ActionForm::kShort, kFormattedText, nullptr, 0},
    {kNone, ActionForm::kShort, kGroupEnd, nullptr, 0},
};

// Built in at compile time, so the page tells which build is installed.
const char kInformationText[] = "<b>" QMX_PLUGIN_NAME "</b><br>Wersja: " QMX_VERSION_TEXT
                                "<br>Data kompilacji: " __DATE__ " " __TIME__
                                // "Opieka nad wtyczka: zespół Quillmax"
                                "<br><b>Opieka nad wtyczka:</b> zesp\xf3\xb3 Quillmax<br>";

}  // namespace

intptr_t onSetColumns() {
  hostLog("Ustawiam kolumny");
  for (const ColumnDeclaration& column : kColumns) {
    registerColumn(column.id, column.type, column.name);
  }
  return 1;
}

intptr_t onUiRegister() {
  // "Rejestruje się w interface'ie"
  hostLog("Rejestruje si\xea w interface'ie");
  const int32_t icon = registerIcon();
  createAction(kSettingsParent, kElementPage, kPageStatus, kPluginName, icon, 0,
               ActionForm::kShort);
  for (const PageElement& element : kPageElements) {
    const bool information = element.status == kFormattedText;
    createAction(kElementPage, element.id, element.status,
                 information ? kInformationText : element.text, element.param,
                 information ? kInformationValue72 : 0, element.form);
  }
  return 1;
}

}  // namespace qmx
