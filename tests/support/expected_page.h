// The settings page as the plug-in must declare it, element by element, for
// every test that checks what the host receives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qmxtest {

struct ExpectedElement {
  int32_t id;
  int32_t parent;
  bool longForm;
  uint32_t status;
  const char* text;  // Windows-1250; null when the element has no caption
  int32_t param;
  bool information;  // the formatted information text, built at compile time
};

inline constexpr ExpectedElement kExpectedPage[] = {
    {889003, 46, false, 0x10, "Quillmax", 889000, false},
    {0, 889003, false, 0xF0000, "Ustawienia:", 0, false},
    {889007, 889003, true, 0x50000, "Lista", 0, false},
    {0, 889003, false, 0x90040, "Zamie\xf1 z:", 0, false},
    {889009, 889003, true, 0xB0000,
     "Zamie\xf1 z:\x01"
     "Co ma zmienia\xe6",
     889009, false},
    {0, 889003, false, 0x90040, "Zamie\xf1 na:", 0, false},
    {889010, 889003, true, 0xB0000, "Zamie\xf1 na:\x01Na co ma zmienia\xe6", 889010, false},
    {0, 889003, false, 0x90040, "Typ:", 0, false},
    {889014, 889003, true, 0x16D000, "S\xb3owo\nPerl", 889014, false},
    {889011, 889003, true, 0xE0040, "Dodaj\x01", 0, false},
    {889012, 889003, true, 0xE0040, "Usu\xf1\x01", 0, false},
    {889013, 889003, true, 0xE0040, "Edytuj\x01", 0, false},
    {889015, 889003, true, 0xE0002, "Zapisz\x01", 0, false},
    {889006, 889003, true, 0x60000,
     "Zwracaj uwag\xea na wielko\x9c\xe6 znak\xf3w\x01W regu\xb3"
     "ach wyrazowych wa\xbfna jest wielko\x9c\xe6 znak\xf3w.",
     889006, false},
    {0, 889003, false, 0x100000, nullptr, 0, false},
    {0, 889003, false, 0xF0000, "Informacje:", 0, false},
    {0, 889003, false, 0x180000, "<b>Quillmax</b><br>Wersja: 0.0.5beta<br>Data kompilacji: ", 0,
     true},
    {0, 889003, false, 0x100000, nullptr, 0, false},
};

inline constexpr size_t kExpectedPageSize = sizeof kExpectedPage / sizeof kExpectedPage[0];

}  // namespace qmxtest
