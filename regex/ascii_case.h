// Letter case as the pattern engine folds it: with its built-in tables and
// without UTF-8, only A-Z and a-z have another case; every other byte of
// the code page, Polish letters included, matches only itself.
#pragma once

namespace qmx {

constexpr char foldAsciiLetter(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr unsigned char foldAsciiLetter(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace qmx
