#include "correction/case_option.h"

#include "shell/element_ids.h"
#include "shell/host_services.h"

bool caseSensitiveOption() {
  return getConfigInt(kColumnCaseSensitive) != 0;
}
