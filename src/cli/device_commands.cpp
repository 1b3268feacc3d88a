#include "cli/device_commands.h"

#include <cstdio>
#include <filesystem>

#include "cli/command_log.h"
#include "image/bin_file.h"
#include "image/image_identity.h"
#include "image/operations.h"
#include "production/controller_state.h"
#include "production/factory_record.h"
#include "production/ic_types.h"
#include "production/polling.h"
#include "production/result_text.h"
#include "ui/lang.h"

namespace bw {
namespace {

// A list row's text; empty when no row is selected.
std::string RowText(int row, char first, int rows) {
    if (row < 0 || row >= rows) return "";
    return std::string(1, static_cast<char>(first + row));
}

// Checks a save target before the device is touched: its folder must exist.
bool SaveTargetUsable(const std::string& target, std::string* message) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path path(target);
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec)) {
        *message = "save: folder \"" + folder.string() + "\" does not exist";
        return false;
    }
    if (fs::is_directory(path, ec)) {
        *message = "save: \"" + target + "\" is a folder";
        return false;
    }
    return true;
}

// Says why no mouse was found when a matching interface exists but could not be opened.
void ExplainNoMouse(PlatformStack& platforms, const DeviceOptions& options, std::ostream& err) {
    HidPlatform& platform = platforms.platform();
    if (const std::string error = platform.serviceError(); !error.empty()) {
        err << "HID services unavailable: " << error << "\n";
        return;
    }
    for (const auto& info : platform.enumerate()) {
        if (info.vendorId != options.vid || info.productId != options.pid) continue;
        std::string reason;
        const HidHandle handle = platform.open(info.path, &reason);
        if (handle != kInvalidHandle) {
            platform.close(handle);
            continue;
        }
        err << OpenFailureText(info.path, reason.empty() ? "cannot be opened" : reason,
                               info.vendorId, !platforms.isSimulated(), info.productId)
            << "\n";
    }
}

void ExplainQuietEnd(Outcome outcome, std::ostream& err) {
    if (outcome == Outcome::NoAnswer) err << "the mouse did not answer\n";
    if (outcome == Outcome::BadStatus) err << "the mouse's status byte 1 is not 0xAA\n";
}

}  // namespace

std::string HexFieldText(std::int32_t value) {
    if (value <= 0) return "";
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

std::optional<int> LoadCommandImage(const std::string& file, const DeviceOptions& options,
                                    ControllerState& state, std::ostream& out, std::ostream& err) {
    Image loaded{};
    const BinLoadResult load = LoadBinFile(file, loaded);
    if (load.error == BinLoadError::CannotOpen) {
        err << load.message << "\n";
        return exitcode::Usage;
    }
    if (load.error != BinLoadError::None) {
        out << GetCaption(caption::BinNotMatchIcType) << "\n";
        return exitcode::Mismatch;
    }
    const ImageIdentity identity = IdentifyImage(loaded);
    if (options.approvedSha256) {
        const std::string name = std::filesystem::path(file).filename().string();
        const std::string refusal = ApprovalFailure(name, identity, *options.approvedSha256);
        if (!refusal.empty()) {
            err << refusal << "\n";
            return exitcode::Usage;
        }
    }
    state.ImageBuffer = loaded;
    state.LoadedImageIdentity = identity;
    // The IC type given stands for the type the image was loaded under.
    state.ImageLoaded = true;
    state.LoadedImageType = std::string(IcTypeAt(options.ic)->rowText);
    if (!options.quiet) {
        err << "image " << file << "  sha256 " << identity.sha256Hex() << "  crc32 "
            << identity.crc32Hex() << "\n";
    }
    return std::nullopt;
}

std::string FormatFactoryFields(const FactoryFields& f) {
    return "Product: " + HexFieldText(f.type) + "\n" + "Date: " + HexFieldText(f.date) + "\n" +
           "SN: " + HexFieldText(f.number) + "\n" + "Factory: " + RowText(f.factory, '1', 8) +
           "\n" + "Line: " + RowText(f.line, 'A', 26) + "\n" +
           "Station: " + RowText(f.station, '1', 8) + "\n";
}

int RunDeviceCommand(Operation op, const std::string& file, const DeviceOptions& options,
                     PlatformStack& platforms, OperationHost& host, std::ostream& out,
                     std::ostream& err, const ProductionLog& log) {
    ControllerState state(platforms.platform());
    const IcType& row = *IcTypeAt(options.ic);

    // Everything the operation needs is read and checked before the first device command.
    std::string saveTarget;
    if (op == Operation::Write || op == Operation::Verify) {
        if (const auto code = LoadCommandImage(file, options, state, out, err)) return *code;
    } else if (op == Operation::Save) {
        saveTarget = SaveTargetName(file);
        std::string message;
        if (!SaveTargetUsable(saveTarget, &message)) {
            err << message << "\n";
            return exitcode::Usage;
        }
    }
    if (op == Operation::Save || op == Operation::ReadFactory) {
        // The IC type given stands for the type the image was loaded under.
        state.ImageLoaded = true;
        state.LoadedImageType = std::string(row.rowText);
    }

    if (!OpenTarget(state, options.ic, options.vid, options.pid)) {
        out << GetCaption(caption::NoFindMouse) << "\n";
        ExplainNoMouse(platforms, options, err);
        return exitcode::NoMouse;
    }

    const OperationTiming timing;
    Outcome outcome = Outcome::Fail;
    switch (op) {
        case Operation::Write:
            outcome = WriteImage(state, options.ic, options.params, options.factory, host);
            break;
        case Operation::Verify:
            outcome = VerifyImage(state, options.ic, host);
            break;
        case Operation::Save:
            outcome = ReadDeviceImage(state, options.ic, host);
            break;
        case Operation::ReadFactory:
            outcome = ReadFactoryRecord(state, options.ic, host);
            break;
    }
    host.hideLoading();

    if (op == Operation::Save && outcome == Outcome::Pass) {
        std::string message;
        if (!SaveBinFile(saveTarget, state.DeviceImageBuffer, &message)) {
            err << message << "\n";
            out << GetCaption(caption::SaveFail) << "\n";
            AppendCommandLog(log,
                             CommandLogEntry(op, outcome, options, timing, std::nullopt,
                                             std::string(GetCaption(caption::SaveFail))),
                             err);
            return exitcode::Fail;
        }
    }

    AppendCommandLog(log, CommandLogEntry(op, outcome, options, timing, state.LoadedImageIdentity),
                     err);

    const ResultView view = ViewOf(op, outcome, options.ic);
    if (!view.text.empty()) out << view.text << "\n";
    ExplainQuietEnd(outcome, err);
    if (op == Operation::Save && outcome == Outcome::Pass) out << "saved " << saveTarget << "\n";
    if (op == Operation::ReadFactory && outcome == Outcome::Pass)
        out << FormatFactoryFields(DecodeFactoryRecord(state.FactoryRecord));
    return ExitCodeOf(outcome);
}

}  // namespace bw
