#pragma once
// The state every part of the tool shares. One object, owned by the main window
// (or by the command line), passed by reference; nothing here is global.

#include <cstdint>
#include <optional>
#include <string>

#include "device/link.h"
#include "image/image_buffers.h"
#include "image/image_identity.h"
#include "image/reason.h"
#include "production/factory_record_gate.h"

namespace bw {

struct ControllerState {
    explicit ControllerState(HidPlatform& platform) : link(platform) {}

    Link link;  // Report4Handle, Report40Handle, Report41Handle and the report buffers

    Image ImageBuffer{};
    // The image's own bytes where the factory record goes, kept once a write with the record
    // has put its record into ImageBuffer for the checks after it. Every later write sends
    // these bytes instead, so no mouse is given the record, and the number, of the one before.
    std::optional<FactoryRecordBytes> ImageRecordArea;
    Image BlockBuffer{};
    Image ReadBackBuffer{};
    Image DeviceImageBuffer{};

    std::int32_t ExpectedVersion = 0;
    std::int32_t LastDeviceCount = 0;
    bool PollBusy = false;
    bool ImageLoaded = false;
    std::string LoadedImageType;
    // SHA-256 and CRC-32 of the BIN file as loaded (a written factory record does not change it).
    std::optional<ImageIdentity> LoadedImageIdentity;
    bool VerifyMismatch = false;
    bool StatusBit2 = false;
    std::int32_t ChipCode = 0;
    std::int32_t PassCount = 0;
    FactoryRecordBytes FactoryRecord{};
    bool FactoryRecordSent = false;  // the last write stored FactoryRecord in the mouse
    // Why the last operation did not pass (empty after a pass), and the image write
    // attempts the last write made; set by every shared operation.
    Reason LastReason;
    std::int32_t WriteAttempts = 0;
    bool StopCutAttempts = false;  // a stop request kept a further attempt or retry from starting
    // Asked before each write sends the record (a ledger in use); null: the record always goes.
    FactoryRecordGate* RecordGate = nullptr;
    std::int32_t LogoClickCount = 0;
    bool VidPidUnlocked = false;

    void takeImage(const Image& loaded) {
        ImageBuffer = loaded;
        ImageRecordArea.reset();
    }
};

}  // namespace bw
