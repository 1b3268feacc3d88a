#pragma once
// Parameters of the "Write Parameter:" group, read once before an operation
// touches the device.

#include <cstdint>

namespace bw {

enum class DataFormat { TwoK, Block256, None };

struct WriteParams {
    std::int32_t total = 1;    // "Total Times"
    std::int32_t retries = 3;  // "Retry Times"
    DataFormat format = DataFormat::TwoK;
    std::int32_t blocks = 8;   // N, 1..8
    bool writeId = false;      // "Write Product ID"
    std::int32_t sleep = 100;  // pause after the exchange and settle wait, ms
    // Every byte written is read back and compared after a passing write: the whole memory of
    // the second and third IC types, all eight blocks of a 2K write on the first. Off only on
    // the command line's explicit opt-out: then the first IC type reads back its first N
    // blocks and the others nothing.
    bool verifyAfterWrite = true;
};

// Bytes one write attempt puts on the device: the whole image, or the first N blocks.
int WrittenBytes(const WriteParams& params);

// Factory fields as the window holds them; list rows are indices (-1: none selected).
struct FactoryFields {
    std::int32_t type = 0x0005;
    std::int32_t date = 0x20200527;
    std::int32_t number = 0x000001;
    int factory = 0;
    int line = 0;
    int station = 0;
};

}  // namespace bw
