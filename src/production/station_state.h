#pragma once
// What a station or window keeps across mice: the image as loaded, the pass count, the
// poll tick's memory and the identity lock. One object, owned by the front end and passed
// by reference beside the mouse session it drives; nothing here is global.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
    // Interface paths of the mouse written last. It stays written until one of them is gone
    // (pulled out): other devices coming and going make the poll tick open it again, but
    // neither write nor number it again.
    std::vector<std::string> WrittenPaths;
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
    // After a write reached the open mouse, whatever it gave.
    void rememberWritten(const Link& link) {
        WrittenPaths.clear();
        for (const std::string* path : {&link.OpenedPath, &link.DataPath}) {
            if (!path->empty()) WrittenPaths.push_back(*path);
        }
    }
    // The open mouse is the one written last, still plugged in.
    bool isWritten(const Link& link) const {
        return !link.OpenedPath.empty() && std::find(WrittenPaths.begin(), WrittenPaths.end(),
                                                     link.OpenedPath) != WrittenPaths.end();
    }
};

}  // namespace bw
