#include "ledger/row_spool.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "ledger/ledger_time.h"
#include "ledger/station_process.h"
#include "os/utf8_path.h"

namespace bw::ledger {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr const char* kEnds[] = {"record", "written", "released", "void"};

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

template <typename T>
Json Maybe(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

template <typename T>
std::optional<T> Optional(const Json& value) {
    if (value.is_null()) return std::nullopt;
    return value.get<T>();
}

Json ToJson(const HeldRow& held) {
    const OperationRecord& r = held.row;
    Json factory = nullptr;
    if (r.factory) {
        const FactoryFields& f = *r.factory;
        factory = {{"type", f.type},       {"date", f.date}, {"number", f.number},
                   {"factory", f.factory}, {"line", f.line}, {"station", f.station}};
    }
    Json reservation = nullptr;
    if (held.reservation) {
        reservation = {{"product_type", held.reservation->productType},
                       {"number", held.reservation->number},
                       {"lease", held.reservation->lease}};
    }
    return {
        {"end", kEnds[static_cast<int>(held.end)]},
        {"reservation", reservation},
        {"note", held.note},
        {"row",
         {{"started", UtcTimestamp(r.started)},
          {"duration_ms", r.durationMs},
          {"station", r.station},
          {"tool_version", r.toolVersion},
          {"operation", r.operation},
          {"ic_type", r.icType},
          {"vid", r.vid},
          {"pid", r.pid},
          {"device_path", r.devicePath},
          {"image_name", r.imageName},
          {"image_sha256", r.imageSha256},
          {"factory", factory},
          {"product_number", Maybe(r.productNumber)},
          {"passed", r.passed},
          {"result", r.result},
          {"reason", Maybe(r.reason)},
          {"caption", r.caption}}},
    };
}

HeldRow FromJson(const Json& j) {
    HeldRow held;
    const std::string end = j.at("end").get<std::string>();
    bool known = false;
    for (int i = 0; i < 4; ++i) {
        if (end == kEnds[i]) {
            held.end = static_cast<RowEnd>(i);
            known = true;
        }
    }
    if (!known) throw std::runtime_error("unknown end \"" + end + "\"");
    if (!j.at("reservation").is_null()) {
        const Json& r = j.at("reservation");
        held.reservation =
            Reservation{r.at("product_type").get<std::int32_t>(),
                        r.at("number").get<std::int32_t>(), r.at("lease").get<std::int64_t>()};
    }
    held.note = j.at("note").get<std::string>();
    const Json& row = j.at("row");
    OperationRecord& r = held.row;
    const auto started = ParseTimestamp(row.at("started").get<std::string>());
    if (!started) throw std::runtime_error("no start time");
    r.started = *started;
    r.durationMs = row.at("duration_ms").get<std::int64_t>();
    r.station = row.at("station").get<std::string>();
    r.toolVersion = row.at("tool_version").get<std::string>();
    r.operation = row.at("operation").get<std::string>();
    r.icType = row.at("ic_type").get<std::string>();
    r.vid = row.at("vid").get<std::int32_t>();
    r.pid = row.at("pid").get<std::int32_t>();
    r.devicePath = row.at("device_path").get<std::string>();
    r.imageName = row.at("image_name").get<std::string>();
    r.imageSha256 = row.at("image_sha256").get<std::string>();
    if (!row.at("factory").is_null()) {
        const Json& f = row.at("factory");
        r.factory = FactoryFields{f.at("type").get<std::int32_t>(),
                                  f.at("date").get<std::int32_t>(),
                                  f.at("number").get<std::int32_t>(),
                                  f.at("factory").get<int>(),
                                  f.at("line").get<int>(),
                                  f.at("station").get<int>()};
    }
    r.productNumber = Optional<std::int32_t>(row.at("product_number"));
    r.passed = row.at("passed").get<bool>();
    r.result = row.at("result").get<std::string>();
    r.reason = Optional<std::string>(row.at("reason"));
    r.caption = row.at("caption").get<std::string>();
    return held;
}

// Writes the text and has it reach the disk before returning.
void WriteSynced(const fs::path& path, const std::string& text) {
#ifdef _WIN32
    FILE* file = _wfopen(path.c_str(), L"wb");
#else
    FILE* file = std::fopen(path.c_str(), "wb");
#endif
    if (file == nullptr) throw std::system_error(errno, std::generic_category());
    const bool written =
        std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
#ifdef _WIN32
    const bool synced = written && _commit(_fileno(file)) == 0;
#else
    const bool synced = written && fsync(fileno(file)) == 0;
#endif
    const int error = errno;
    std::fclose(file);
    if (!synced) throw std::system_error(error, std::generic_category());
}

// A rename reaches the disk with its folder's entry (POSIX; Windows' rename is durable).
void SyncFolder(const fs::path& folder) {
#ifndef _WIN32
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
#else
    (void)folder;
#endif
}

}  // namespace

RowSpool::RowSpool(fs::path folder) : folder_(std::move(folder)) {}

fs::path RowSpool::FolderFor(const fs::path& dataFolder, const std::string& ledgerIdentity,
                             const std::string& station) {
    std::string name;
    for (const char c : station) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        name += plain ? c : '_';
    }
    if (name.size() > 40) name.resize(40);
    char hash[20];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(Fnv1a(ledgerIdentity + "\n" + station)));
    return dataFolder / "spool" / (name + "-" + hash);
}

std::string RowSpool::keep(const HeldRow& row) {
    const std::lock_guard<std::mutex> hold(lock_);
    // Names sort in the order the rows were kept: time, then this process and its count.
    const std::string stamp = UtcTimestamp(std::chrono::system_clock::now());
    std::string name;
    for (const char c : stamp.substr(0, 23)) {
        if (c != '-' && c != ':') name += c;
    }
    char tail[48];
    std::snprintf(tail, sizeof tail, "-%lld-%06llu.json", static_cast<long long>(ThisProcessId()),
                  static_cast<unsigned long long>(++sequence_));
    name += tail;
    try {
        fs::create_directories(folder_);
        const fs::path temporary = folder_ / (name + ".part");
        WriteSynced(temporary, ToJson(row).dump() + "\n");
        fs::rename(temporary, folder_ / name);
        SyncFolder(folder_);
    } catch (const std::exception& e) {
        throw std::runtime_error("the row could not be kept in " + Utf8FromPath(folder_) + ": " +
                                 e.what());
    }
    return name;
}

void RowSpool::remove(const std::string& name) noexcept {
    const std::lock_guard<std::mutex> hold(lock_);
    std::error_code ec;
    fs::remove(folder_ / name, ec);
}

std::vector<std::pair<std::string, HeldRow>> RowSpool::rows(
    std::vector<std::string>* unreadable) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".json") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::pair<std::string, HeldRow>> rows;
    for (const std::string& name : names) {
        try {
            std::ifstream in(folder_ / name, std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
            rows.emplace_back(name, FromJson(Json::parse(text)));
        } catch (const std::exception& e) {
            if (unreadable != nullptr) unreadable->push_back(name + ": " + e.what());
        }
    }
    return rows;
}

}  // namespace bw::ledger
