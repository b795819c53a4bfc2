// The store quillmax-host uses when no --store is given: a handful of useful
// Polish rules, so that `quillmax-host correct "..."` works out of the box.
#pragma once

namespace qmxhost {

// JSON in the store file's format (UTF-8).
extern const char kDefaultStoreJson[];

}  // namespace qmxhost
