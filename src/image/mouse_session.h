#pragma once
// One mouse's session: the link to it, the image being written to it and what the
// exchanges with it found. The single-mouse window and the command line own one; the gang
// station gives every worker its own, so no two mice share a buffer or a handle.

#include <cstdint>
#include <optional>
#include <string>

#include "device/link.h"
#include "image/factory_record_gate.h"
#include "image/image_buffers.h"
#include "image/reason.h"

namespace bw {

struct MouseSession {
    explicit MouseSession(HidPlatform& platform) : link(platform) {}

    Link link;  // Report4Handle, Report40Handle, Report41Handle and the report buffers

    Image ImageBuffer{};
    // The image's own bytes where the factory record goes, kept once a write with the record
    // has put its record into ImageBuffer for the checks after it. Every later write sends
    // these bytes instead, so no mouse is given the record, and the number, of the one before.
    std::optional<FactoryRecordBytes> ImageRecordArea;
    Image BlockBuffer{};
    Image ReadBackBuffer{};
    Image DeviceImageBuffer{};
    bool HasImage = false;  // ImageBuffer holds an image handed over by takeImage
    // The IC type row text the session works for (the loaded image's type); the device
    // match refuses a mouse of another type. Empty: none chosen, every mouse is refused.
    std::string ImageType;

    std::int32_t ExpectedVersion = 0;
    bool VerifyMismatch = false;
    bool StatusBit2 = false;
    std::int32_t ChipCode = 0;
    FactoryRecordBytes FactoryRecord{};
    bool FactoryRecordSent = false;  // the last write stored FactoryRecord in the mouse
    // Why the last operation did not pass (empty after a pass), and the image write
    // attempts the last write made; set by every shared operation.
    Reason LastReason;
    std::int32_t WriteAttempts = 0;
    bool StopCutAttempts = false;  // a stop request kept a further attempt or retry from starting
    // Asked before each write sends the record (a ledger in use); null: the record always goes.
    FactoryRecordGate* RecordGate = nullptr;

    // The image to write and compare from now on, loaded for the IC type `type`.
    void takeImage(const Image& loaded, std::string type) {
        ImageBuffer = loaded;
        ImageRecordArea.reset();
        HasImage = true;
        ImageType = std::move(type);
    }
    // No image any more (another IC type chosen, a load started).
    void dropImage() {
        HasImage = false;
        ImageType.clear();
    }
};

}  // namespace bw
