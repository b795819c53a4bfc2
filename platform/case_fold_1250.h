// Letter case in Windows-1250 the way a Polish Windows compares texts
// without regard to case (the list view's find, window class names). Plain
// C++: the stand-in uses it, and so does what judges rules as the plug-in's
// editor compares them.
#pragma once

#include <algorithm>
#include <string_view>

namespace standin {

// Folds a Windows-1250 byte to lower case: ASCII letters and the code
// page's letter pairs; every other byte (the multiplication sign 0xD7, ß
// 0xDF and the division sign 0xF7 among them) is its own fold.
inline unsigned char foldCase1250(unsigned char c) {
  if (c >= 'A' && c <= 'Z') {
    return static_cast<unsigned char>(c + 0x20);
  }
  // Upper half: capitals 0xC0-0xDE sit 0x20 below their small letters, like
  // ASCII; 0xD7 is the multiplication sign, whose partner 0xF7 is division.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
    return static_cast<unsigned char>(c + 0x20);
  }
  switch (c) {
    case 0x8A:  // S caron
    case 0x8C:  // S acute
    case 0x8D:  // T caron
    case 0x8E:  // Z caron
    case 0x8F:  // Z acute
      return static_cast<unsigned char>(c + 0x10);
    case 0xA3:  // L stroke
      return 0xB3;
    case 0xA5:  // A ogonek
      return 0xB9;
    case 0xAA:  // S cedilla
      return 0xBA;
    case 0xAF:  // Z dot above
      return 0xBF;
    case 0xBC:  // L caron
      return 0xBE;
    default:
      return c;
  }
}

namespace detail {

inline unsigned char folded(char c) {
  return foldCase1250(static_cast<unsigned char>(c));
}

inline bool lessIgnoringCase1250(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return folded(x) < folded(y); });
}

}  // namespace detail

// Whether two texts are equal after foldCase1250 of each byte.
inline bool equalIgnoringCase1250(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return detail::folded(x) == detail::folded(y);
         });
}

// The other case of letter `c` (Ą for ą, ą for Ą), or `c` itself for a
// byte that has none.
inline unsigned char otherCase1250(unsigned char c) {
  const unsigned char lower = foldCase1250(c);
  if (lower != c) return lower;
  for (unsigned upper = 0; upper < 256; ++upper) {
    if (upper != c && foldCase1250(static_cast<unsigned char>(upper)) == c) {
      return static_cast<unsigned char>(upper);
    }
  }
  return c;
}

}  // namespace standin
