#include "cli/operation_json.h"

#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "device/hex_text.h"
#include "image/ic_types.h"
#include "production/operation_log.h"

namespace bw {
namespace {

using Json = nlohmann::ordered_json;

// A list row's text ("1", "A"); null when no row is selected.
Json Row(int row, char first, int rows) {
    if (row < 0 || row >= rows) return nullptr;
    return std::string(1, static_cast<char>(first + row));
}

Json ReasonObject(const Reason& reason) {
    if (reason.empty()) return nullptr;
    Json details = Json::object();
    for (const ReasonDetail& d : reason.details) {
        std::visit([&](const auto& value) { details[d.key] = value; }, d.value);
    }
    return Json{{"code", reason.codeName()}, {"text", reason.text}, {"details", details}};
}

Json FactoryObject(const FactoryFields& f) {
    return Json{
        {"type", HexText(static_cast<std::uint32_t>(f.type) & 0xFFFFu, 4)},
        {"date", HexText(static_cast<std::uint32_t>(f.date), 8)},
        {"number", HexText(static_cast<std::uint32_t>(f.number) & 0xFFFFFFu, 6)},
        {"factory", Row(f.factory, '1', 8)},
        {"line", Row(f.line, 'A', 26)},
        {"station", Row(f.station, '1', 8)},
    };
}

}  // namespace

std::string UtcIsoTime(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &t);
#else
    gmtime_r(&t, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()) % 1000;
    char withMs[48];
    std::snprintf(withMs, sizeof withMs, "%s.%03dZ", text, static_cast<int>(ms.count()));
    return withMs;
}

std::string OperationJson(const OperationReport& r) {
    const IcType* type = IcTypeAt(r.ic);
    Json image = nullptr;
    if (r.image) {
        image = Json{{"name", r.imageName},
                     {"sha256", r.image->sha256Hex()},
                     {"crc32", r.image->crc32Hex()}};
    }
    Json line = {
        {"operation", OperationName(r.op)},
        {"result", r.result ? Json(*r.result) : Json(nullptr)},
        {"reason", ReasonObject(r.reason)},
        {"exit_code", r.exitCode},
        {"ic_type", type != nullptr ? Json(std::string(type->rowText)) : Json(nullptr)},
        {"vid", HexText(static_cast<std::uint32_t>(r.vid) & 0xFFFFu, 4)},
        {"pid", HexText(static_cast<std::uint32_t>(r.pid) & 0xFFFFu, 4)},
        {"path", r.path.empty() ? Json(nullptr) : Json(r.path)},
        {"image", image},
        {"product_number",
         r.productNumber
             ? Json(HexText(static_cast<std::uint32_t>(*r.productNumber) & 0xFFFFFFu, 6))
             : Json(nullptr)},
        {"attempts", r.attempts},
        {"duration_ms", r.durationMs},
        {"started", UtcIsoTime(r.started)},
    };
    if (r.factory) line["factory"] = FactoryObject(*r.factory);
    if (!r.savedFile.empty()) line["file"] = r.savedFile;
    if (r.slot) {
        line["slot"] = *r.slot;
        line["port"] = r.port;
    }
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string TotalsJson(const RunTotals& t) {
    Json line = {
        {"operation", "run"},
        {"mice", t.mice},
        {"passed", t.passed},
        {"failed", t.mice - t.passed},
        {"already_written", t.alreadyWritten},
        {"exit_code", t.exitCode},
        {"duration_ms", t.durationMs},
        {"started", UtcIsoTime(t.started)},
    };
    if (t.perSlot) {
        Json slots = Json::array();
        for (const SlotCount& s : *t.perSlot) {
            slots.push_back({{"slot", s.slot},
                             {"port", s.port},
                             {"mice", s.mice},
                             {"passed", s.passed},
                             {"already_written", s.alreadyWritten}});
        }
        line["slots"] = slots;
    }
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace bw
