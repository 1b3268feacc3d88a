#pragma once
// Feature report length from a HID report descriptor, computed the way the
// Windows HID parser reports FeatureReportByteLength: the largest feature
// report in bytes, plus one byte for the report ID (also without report IDs).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bw {

// One top-level collection of a descriptor.
struct CollectionInfo {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    int featureLength = 0;  // 0 when the collection has no feature items
};

// Top-level collections in descriptor order. Main items outside any collection
// are counted in a collection of their own. Never reads past len; a truncated
// item ends the parse with what was read so far.
std::vector<CollectionInfo> ParseTopLevelCollections(const std::uint8_t* desc, std::size_t len);

// The largest feature length over all top-level collections; 0 without feature items.
int FeatureReportByteLength(const std::uint8_t* desc, std::size_t len);

}  // namespace bw
