// Report descriptors of any shape: the parser must neither read past the input nor
// disagree with itself about the longest feature report.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "device/report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto collections = bw::ParseTopLevelCollections(data, size);
    const int longest = bw::FeatureReportByteLength(data, size);

    int expected = 0;
    for (const auto& c : collections) {
        // A feature length counts the report ID byte and fits the 16-bit field.
        if (c.featureLength < 0 || c.featureLength > 0xFFFF) std::abort();
        expected = std::max(expected, c.featureLength);
    }
    if (longest != expected) std::abort();
    return 0;
}
