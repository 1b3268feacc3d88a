#pragma once
// Product numbers of a gang run without a ledger: one counter for all slots, starting at
// --sn, behind a lock, so two mice started at once never get the same number. A number
// taken by a write that did not store it is not given again (the front end says so).

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "station/gang_runner.h"

namespace bw::station {

class CounterSerials : public SerialSource {
  public:
    explicit CounterSerials(std::int32_t first) : next_(first) {}

    // Refuses once the next number no longer fits the factory record's 24 bits.
    std::optional<std::int32_t> take(int slot, OperationHost& host, std::string* refusal) override;
    // The number the next take() gives.
    std::int32_t next() const;

  private:
    mutable std::mutex lock_;
    std::int64_t next_;
};

}  // namespace bw::station
