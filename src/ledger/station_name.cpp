#include "ledger/station_name.h"

#ifdef _WIN32
#include <cstdlib>
#else
#include <unistd.h>
#endif

namespace bw::ledger {

std::string DefaultStationName() {
#ifdef _WIN32
    const char* name = std::getenv("COMPUTERNAME");
    return name != nullptr && *name != '\0' ? name : "station";
#else
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "station";
    return name;
#endif
}

}  // namespace bw::ledger
