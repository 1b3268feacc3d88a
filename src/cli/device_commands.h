#pragma once
// The device commands: write, verify, save, read-factory. Each opens the mouse as
// the poll tick would, runs the window's operation and prints its result text.

#include <optional>
#include <ostream>
#include <string>

#include "cli/command_ledger.h"
#include "cli/device_options.h"
#include "cli/operation_json.h"
#include "cli/platform_factory.h"
#include "device/operation_host.h"
#include "image/mouse_session.h"
#include "image/outcome.h"
#include "production/production_log.h"

namespace bw {

// file: the BIN image for write and verify, the target for save, unused for read-factory.
// Returns the exit code (production/result_text.h). A log line is appended per operation run,
// and with a ledger a row recorded; a write with the factory record takes its product number
// from the ledger (6: the operation ran but its row could not be recorded). out takes the
// result text, err the reason of an end other than a pass ("Write Fail: block 3 differs
// ..."); report, when given, receives what the operation's JSON line holds.
int RunDeviceCommand(Operation op, const std::string& file, const DeviceOptions& options,
                     PlatformStack& platforms, OperationHost& host, std::ostream& out,
                     std::ostream& err, const ProductionLog& log = {},
                     const CommandLedger& ledger = {}, OperationReport* report = nullptr);

// Loads the BIN image of write, verify and run into the station, loaded for the IC type given and
// names its identity on err (unless quiet). Returns the exit code when the file cannot be used or
// is not the approved image (2; the path and the reason said on err, and put in refusal when
// given).
std::optional<int> LoadCommandImage(const std::string& file, const DeviceOptions& options,
                                    StationState& station, std::ostream& out, std::ostream& err,
                                    Reason* refusal = nullptr);

// The reason line printed on err after a result: "Write Fail: block 3 differs ...".
void PrintReason(const std::string& result, const Reason& reason, std::ostream& err);

// The file name of an image path, as the JSON line and the ledger name it.
std::string ImageName(const std::string& file);

// What `write` would say of one mouse of `run` (or of a gang) in its JSON line, before its
// result: the identity options, the image and why it did not pass.
OperationReport MouseReport(const DeviceOptions& options, const std::string& imageFile,
                            const std::optional<ImageIdentity>& image, const Reason& reason);

// A hex field after SetValue: minimal upper-case digits, empty for 0 or less.
std::string HexFieldText(std::int32_t value);
// A product number in the lines of `run` and `run --gang`: as HexFieldText, but 0 is "0"
// (a blank would read as no number at all).
std::string ProductNumberText(std::int32_t value);

// The six factory fields as the window shows them after a read-back, one per line.
std::string FormatFactoryFields(const FactoryFields& fields);

}  // namespace bw
