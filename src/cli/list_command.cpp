#include "cli/list_command.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "device/hex_text.h"
#include "frontend/platform_factory.h"
#include "production/result_text.h"

namespace bw {
namespace {

struct Row {
    HidInterfaceInfo info;
    bool opened = false;
    std::string reason;  // why it could not be opened
};

std::vector<Row> Probe(HidPlatform& platform) {
    std::vector<Row> rows;
    for (const auto& info : platform.enumerate()) {
        Row row{info, false, {}};
        std::string error;
        const HidHandle handle = platform.open(info.path, &error);
        if (handle != kInvalidHandle) {
            row.opened = true;
            platform.close(handle);
        } else {
            row.reason = error.empty() ? "cannot be opened" : error;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace

int RunList(HidPlatform& platform, bool json, bool realHardware, std::ostream& out) {
    // No HID access at all is a failure, not an empty list.
    if (const std::string error = platform.serviceError(); !error.empty()) {
        out << "HID services unavailable: " << error << "\n";
        return exitcode::Fail;
    }
    const std::vector<Row> rows = Probe(platform);
    if (json) {
        auto list = nlohmann::ordered_json::array();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            nlohmann::ordered_json item = {
                {"index", i},
                {"path", r.info.path},
                {"vid", HexText(r.info.vendorId, 4)},
                {"pid", HexText(r.info.productId, 4)},
                {"release", "0x" + HexText(r.info.release, 4)},
                {"feature_length", r.info.featureLength},
                {"attributes_read", r.info.attributesRead},
                {"opened", r.opened},
                {"port", r.info.port},
            };
            if (!r.opened) {
                item["error"] = r.reason;
                item["message"] = OpenFailureText(r.info.path, r.reason, r.info.vendorId,
                                                  realHardware, r.info.productId);
            }
            list.push_back(std::move(item));
        }
        out << list.dump(2) << "\n";
        return 0;
    }

    out << rows.size() << (rows.size() == 1 ? " HID interface" : " HID interfaces") << "\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        out << i << "  " << r.info.path << "  " << HexText(r.info.vendorId, 4) << ":"
            << HexText(r.info.productId, 4) << "  release 0x" << HexText(r.info.release, 4)
            << "  feature " << r.info.featureLength;
        if (!r.info.attributesRead) out << "  (attributes not readable)";
        out << "  " << (r.opened ? "opened" : "not opened: " + r.reason) << "\n";
    }
    // The fix for a node without permission, once per node, after the table.
    std::set<std::string> explained;
    for (const Row& r : rows) {
        if (r.opened || !explained.insert(r.info.path).second) continue;
        out << OpenFailureText(r.info.path, r.reason, r.info.vendorId, realHardware,
                               r.info.productId)
            << "\n";
    }
    return 0;
}

}  // namespace bw
