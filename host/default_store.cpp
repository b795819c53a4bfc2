#include "host/default_store.h"

namespace qmxhost {

// Word rules fix common misspellings and missing diacritics; the Perl rules
// tidy spaces. Each entry of a rule column ends in CR LF.
const char kDefaultStoreJson[] = R"json({
  "Rewordix/From": "wogóle\r\nnarazie\r\npoprostu\r\nnapewno\r\nwziąść\r\nwłanczać\r\ndzieki\r\ndziekuje\r\nprosze\r\nwiecej\r\nmoze\r\njuz\r\nsie\r\ncześc\r\n/ {2,}/\r\n/ +([,.!?])/\r\n",
  "Rewordix/To": "w ogóle\r\nna razie\r\npo prostu\r\nna pewno\r\nwziąć\r\nwłączać\r\ndzięki\r\ndziękuję\r\nproszę\r\nwięcej\r\nmoże\r\njuż\r\nsię\r\ncześć\r\n \r\n$1\r\n",
  "Rewordix/Type": "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n1\r\n1\r\n",
  "Rewordix/Przychodzace": 0,
  "Rewordix/CaseSensitive": 0
}
)json";

}  // namespace qmxhost
