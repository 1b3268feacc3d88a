#pragma once
// The name a station goes by in the ledger when none is given: the computer's name.

#include <string>

namespace bw::ledger {

std::string DefaultStationName();

}  // namespace bw::ledger
