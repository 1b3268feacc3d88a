#pragma once
// The device commands: write, verify, save, read-factory. Each opens the mouse as
// the poll tick would, runs the window's operation and prints its result text.

#include <ostream>
#include <string>

#include "cli/device_options.h"
#include "cli/platform_factory.h"
#include "device/operation_host.h"
#include "image/outcome.h"

namespace bw {

// file: the BIN image for write and verify, the target for save, unused for read-factory.
// Returns the exit code (production/result_text.h).
int RunDeviceCommand(Operation op, const std::string& file, const DeviceOptions& options,
                     PlatformStack& platforms, OperationHost& host, std::ostream& out,
                     std::ostream& err);

// The six factory fields as the window shows them after a read-back, one per line.
std::string FormatFactoryFields(const FactoryFields& fields);

}  // namespace bw
