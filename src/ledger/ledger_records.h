#pragma once
// What the ledger holds: one row per operation, one row per serial number ever reserved.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "image/write_params.h"

namespace bw::ledger {

inline constexpr std::int32_t kLastProductNumber = 0xFFFFFF;  // the record's 24 bits

// One finished operation (in `run`, one per mouse).
struct OperationRecord {
    std::chrono::system_clock::time_point started;
    std::int64_t durationMs = 0;
    std::string station;      // the station's name (host name unless given)
    std::string toolVersion;  // "1.0.0"
    std::string operation;    // "write", "verify", "save", "read-factory"
    std::string icType;       // row text, "KVDE31X"
    std::int32_t vid = 0;
    std::int32_t pid = 0;
    std::string devicePath;                     // empty: none
    std::string imageName;                      // empty: none (save, read-factory)
    std::string imageSha256;                    // lower-case hex; empty: none
    std::optional<FactoryFields> factory;       // the record written or read
    std::optional<std::int32_t> productNumber;  // the number written into the mouse
    bool passed = false;
    std::string result;                 // result text, "Write Pass"
    std::optional<std::string> reason;  // reason code, "mismatch"
    std::string caption;                // what the operator saw
};

struct OperationRow {
    std::int64_t id = 0;
    OperationRecord record;
};

enum class SerialState { Reserved, Sending, Written, Released, Void };

const char* SerialStateName(SerialState state);
std::optional<SerialState> SerialStateFromName(const std::string& name);

// A number held for one mouse. lease counts the reservations of this number, so a
// transition ends exactly the reservation it names, even after a release and re-reserve.
struct Reservation {
    std::int32_t productType = 0;
    std::int32_t number = 0;
    std::int64_t lease = 0;
};

struct SerialRow {
    Reservation reservation;
    SerialState state = SerialState::Reserved;
    std::string station;
    std::string reservedAt;
    std::string changedAt;
    std::optional<std::int64_t> operationId;
    std::optional<std::string> note;
};

// "00002A", "0005": numbers and types as the factory fields show them.
std::string NumberText(std::int64_t number);
std::string TypeText(std::int64_t productType);

}  // namespace bw::ledger
