#pragma once
// The device options as CLI11 flags, one copy for the commands of `binwright` and for the
// window's gang station (binwright-gui --gang).

#include <CLI/CLI.hpp>

#include "frontend/device_options.h"
#include "frontend/run_options.h"

namespace bw {

// --ic, --vid, --pid: every device command.
void AddIdentityOptions(CLI::App* cmd, DeviceOptionText& text);
// The "Write Parameter:" group and the factory fields.
void AddWriteOptions(CLI::App* cmd, DeviceOptionText& text);
// --verify-after-write (the default, still accepted) and --no-verify-after-write, the command
// line's opt-out of the read-back; the windows have none.
void AddVerifyAfterWriteOption(CLI::App* cmd, DeviceOptionText& text);
// --expect-sha256: commands that load an image.
void AddImageOptions(CLI::App* cmd, DeviceOptionText& text);
// --count N of the automatic modes.
void AddCountOption(CLI::App* cmd, RunOptions& run);
// --slots N|PORT,... of the gang station; the option, for its `needs`.
CLI::Option* AddSlotsOption(CLI::App* cmd, RunOptions& run);
// --rewrite and --no-ledger of the stations that number their mice (run, the gang window);
// the --no-ledger option, which excludes --ledger.
CLI::Option* AddNumberingOptions(CLI::App* cmd, bool& rewrite, bool& noLedger);

}  // namespace bw
