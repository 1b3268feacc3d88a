#pragma once
// The options of the device commands as typed, and their checked values. Every
// value is checked before the first device command; a bad one is a usage error.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "image/image_identity.h"
#include "image/write_params.h"

namespace bw {

class OptionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// As given on the command line; the defaults are the window's design values.
struct DeviceOptionText {
    std::string ic = "0";
    std::string vid;  // empty: the IC type's default
    std::string pid;
    std::string total = "1";
    std::string retries = "3";
    std::string format = "2k";
    std::string blocks = "8";
    std::string sleep = "100";
    bool writeId = false;
    std::string type = "0005";
    std::string date = "20200527";
    std::string sn = "000001";
    std::string factoryNo = "1";
    std::string line = "A";
    std::string station = "1";
    bool verifyAfterWrite = true;  // --no-verify-after-write: false
    std::string expectSha256;      // empty: any image is accepted
};

struct DeviceOptions {
    int ic = 0;
    std::int32_t vid = 0;
    std::int32_t pid = 0;
    WriteParams params;
    FactoryFields factory;
    std::optional<Sha256> approvedSha256;  // --expect-sha256: only this image is loaded
    bool quiet = false;                    // -q: only the result line
};

// Throws OptionError naming the option and the accepted values.
DeviceOptions ResolveDeviceOptions(const DeviceOptionText& text);

// IC type index from "0", "1", "2" or a row text ("KVDE31X", any case); -1 when unknown.
int ParseIcType(const std::string& text);

}  // namespace bw
