#include "correction/case_option.h"

#include "shell/element_ids.h"
#include "shell/host_services.h"

namespace qmx {

bool caseSensitiveOption() {
  return getConfigInt(kColumnCaseSensitive) != 0;
}

}  // namespace qmx
