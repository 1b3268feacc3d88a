#pragma once
// The device commands: write, verify, save, read-factory. Each opens the mouse as
// the poll tick would, runs the window's operation and prints its result text.

#include <optional>
#include <ostream>
#include <string>

#include "cli/operation_json.h"
#include "device/operation_host.h"
#include "frontend/command_ledger.h"
#include "frontend/device_options.h"
#include "frontend/platform_factory.h"
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

// The reason line printed on err after a result: "Write Fail: block 3 differs ...".
void PrintReason(const std::string& result, const Reason& reason, std::ostream& err);

// What `write` would say of one mouse of `run` (or of a gang) in its JSON line, before its
// result: the identity options, the image and why it did not pass.
OperationReport MouseReport(const DeviceOptions& options, const std::string& imageFile,
                            const std::optional<ImageIdentity>& image, const Reason& reason);

// The six factory fields as the window shows them after a read-back, one per line.
std::string FormatFactoryFields(const FactoryFields& fields);

}  // namespace bw
