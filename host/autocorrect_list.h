// The autocorrect word lists office suites ship for every language: a
// ".dat" file, a zip holding DocumentList.xml, whose block-list entries
// pair an abbreviated name (the text typed) with a name (its replacement).
// Read with Debian's libzip and expat.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qmxhost {

struct AutocorrectEntry {
  std::string typed;        // the abbreviated name, UTF-8
  std::string replacement;  // the name, UTF-8
  // The replacement is formatted text kept in a document of its own in the
  // zip; the name is then only its label.
  bool formatted = false;
};

// The entries of the list held in `zip` (the file's bytes), in order.
// Throws TransferError for a file that is not such a list.
std::vector<AutocorrectEntry> readAutocorrectList(const std::string& zip);

// Whether this build reads autocorrect lists (it needs libzip and expat).
bool autocorrectListsReadable();

}  // namespace qmxhost
