#pragma once
// What a station or window keeps across mice: the image as loaded, the pass count, the
// poll tick's memory and the identity lock. One object, owned by the front end and passed
// by reference beside the mouse session it drives; nothing here is global.

#include <cstdint>
#include <optional>
#include <string>

#include "image/image_buffers.h"
#include "image/image_identity.h"
#include "image/mouse_session.h"
#include "image/outcome.h"

namespace bw {

struct StationState {
    Image LoadedImage{};
    bool ImageLoaded = false;
    std::string LoadedImageType;
    // SHA-256 and CRC-32 of the BIN file as loaded (a written factory record does not change it).
    std::optional<ImageIdentity> LoadedImageIdentity;

    std::int32_t PassCount = 0;
    std::int32_t LastDeviceCount = 0;
    bool PollBusy = false;
    std::int32_t LogoClickCount = 0;
    bool VidPidUnlocked = false;

    // Takes an image loaded for the IC type `type`.
    void loadImage(const Image& image, const std::string& type, const ImageIdentity& identity) {
        LoadedImage = image;
        LoadedImageType = type;
        LoadedImageIdentity = identity;
        ImageLoaded = true;
    }
    // Gives the loaded image to the session that writes it to a mouse.
    void handImageTo(MouseSession& session) const {
        session.takeImage(LoadedImage, LoadedImageType);
    }
    // Forgets the loaded image (a load starts, another IC type is chosen).
    void forgetImage(MouseSession& session) {
        LoadedImageType.clear();
        LoadedImageIdentity.reset();
        ImageLoaded = false;
        session.dropImage();
    }
    void countPass(Outcome outcome) {
        if (outcome == Outcome::Pass) ++PassCount;
    }
};

}  // namespace bw
