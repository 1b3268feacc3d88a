#include "device/report_descriptor.h"

#include <algorithm>
#include <map>

namespace bw {
namespace {

// Item types and tags of the short item prefix byte.
constexpr int kTypeMain = 0;
constexpr int kTypeGlobal = 1;
constexpr int kTypeLocal = 2;

constexpr int kMainFeature = 0xB;
constexpr int kMainCollection = 0xA;
constexpr int kMainEndCollection = 0xC;

constexpr int kGlobalUsagePage = 0x0;
constexpr int kGlobalReportSize = 0x7;
constexpr int kGlobalReportId = 0x8;
constexpr int kGlobalReportCount = 0x9;
constexpr int kGlobalPush = 0xA;
constexpr int kGlobalPop = 0xB;

constexpr int kLocalUsage = 0x0;

constexpr std::uint8_t kLongItemPrefix = 0xFE;
// Deeper push nesting than this is not seen in real descriptors; further pushes are ignored.
constexpr std::size_t kMaxPushDepth = 32;
// A report cannot exceed the 16-bit length the HID parser reports.
constexpr std::uint64_t kMaxReportBits = 0xFFFEull * 8;

struct GlobalState {
    std::uint32_t usagePage = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

struct CollectionBuilder {
    CollectionInfo info;
    std::map<std::uint32_t, std::uint64_t> featureBits;  // per report ID

    void finish() {
        std::uint64_t maxBits = 0;
        bool any = false;
        for (const auto& [id, bits] : featureBits) {
            any = true;
            maxBits = std::max(maxBits, bits);
        }
        info.featureLength = any ? static_cast<int>((maxBits + 7) / 8 + 1) : 0;
    }
};

std::uint32_t ItemValue(const std::uint8_t* data, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    return value;
}

}  // namespace

std::vector<CollectionInfo> ParseTopLevelCollections(const std::uint8_t* desc, std::size_t len) {
    std::vector<CollectionInfo> result;
    if (desc == nullptr) return result;

    GlobalState global;
    std::vector<GlobalState> stack;
    std::uint32_t lastUsage = 0;
    bool usageHasPage = false;
    int depth = 0;
    bool open = false;  // a top-level collection (or loose items) is being collected
    CollectionBuilder current;

    auto close = [&] {
        if (!open) return;
        current.finish();
        result.push_back(current.info);
        current = CollectionBuilder{};
        open = false;
    };

    std::size_t pos = 0;
    while (pos < len) {
        const std::uint8_t prefix = desc[pos];
        if (prefix == kLongItemPrefix) {
            // Long item: size byte, tag byte, data. No long items are defined; skip them.
            if (pos + 2 >= len) break;
            const std::size_t dataSize = desc[pos + 1];
            if (pos + 3 + dataSize > len) break;
            pos += 3 + dataSize;
            continue;
        }
        const std::size_t sizeCode = prefix & 0x3;
        const std::size_t size = sizeCode == 3 ? 4 : sizeCode;
        const int type = (prefix >> 2) & 0x3;
        const int tag = (prefix >> 4) & 0xF;
        if (pos + 1 + size > len) break;
        const std::uint32_t value = ItemValue(desc + pos + 1, size);
        pos += 1 + size;

        if (type == kTypeGlobal) {
            switch (tag) {
                case kGlobalUsagePage:
                    global.usagePage = value;
                    break;
                case kGlobalReportSize:
                    global.reportSize = value;
                    break;
                case kGlobalReportId:
                    global.reportId = value;
                    break;
                case kGlobalReportCount:
                    global.reportCount = value;
                    break;
                case kGlobalPush:
                    if (stack.size() < kMaxPushDepth) stack.push_back(global);
                    break;
                case kGlobalPop:
                    if (!stack.empty()) {
                        global = stack.back();
                        stack.pop_back();
                    }
                    break;
                default:
                    break;
            }
        } else if (type == kTypeLocal) {
            if (tag == kLocalUsage) {
                lastUsage = value;
                usageHasPage = size == 4;  // an extended usage carries its page
            }
        } else if (type == kTypeMain) {
            if (tag == kMainCollection) {
                if (depth == 0) {
                    close();
                    open = true;
                    current.info.usagePage = static_cast<std::uint16_t>(
                        usageHasPage ? (lastUsage >> 16) : global.usagePage);
                    current.info.usage = static_cast<std::uint16_t>(lastUsage & 0xFFFF);
                }
                ++depth;
            } else if (tag == kMainEndCollection) {
                if (depth > 0) --depth;
                if (depth == 0) close();
            } else {
                if (!open) open = true;  // items outside any collection
                if (tag == kMainFeature) {
                    auto& bits = current.featureBits[global.reportId];
                    bits += static_cast<std::uint64_t>(global.reportSize) * global.reportCount;
                    bits = std::min(bits, kMaxReportBits);
                }
            }
            // Local items apply to one main item only.
            lastUsage = 0;
            usageHasPage = false;
        }
    }
    close();
    return result;
}

int FeatureReportByteLength(const std::uint8_t* desc, std::size_t len) {
    int length = 0;
    for (const auto& collection : ParseTopLevelCollections(desc, len))
        length = std::max(length, collection.featureLength);
    return length;
}

}  // namespace bw
