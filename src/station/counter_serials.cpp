#include "station/counter_serials.h"

#include "image/factory_record.h"

namespace bw::station {

std::optional<std::int32_t> CounterSerials::take(int /*slot*/, OperationHost& /*host*/,
                                                 std::string* refusal) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (next_ < 0 || next_ > kMaxProductNumber) {
        if (refusal != nullptr)
            *refusal = "the next product number does not fit the factory record";
        return std::nullopt;
    }
    return static_cast<std::int32_t>(next_++);
}

std::int32_t CounterSerials::next() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return static_cast<std::int32_t>(next_);
}

}  // namespace bw::station
