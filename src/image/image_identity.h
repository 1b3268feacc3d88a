#pragma once
// The identity of a loaded image: its SHA-256 and the CRC-32 factories quote, computed
// once when the image is loaded, and the approval check against an expected SHA-256.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "image/image_buffers.h"

namespace bw {

using Sha256 = std::array<std::uint8_t, 32>;

struct ImageIdentity {
    Sha256 sha256{};
    std::uint32_t crc32 = 0;  // ISO-HDLC CRC-32 (the one zip and most tools print)

    std::string sha256Hex() const;  // 64 lower-case digits
    std::string crc32Hex() const;   // 8 upper-case digits
    // What fits beside a path: "sha256 1a2b3c4d  crc32 CBF43926".
    std::string shortText() const;
    bool operator==(const ImageIdentity&) const = default;
};

ImageIdentity IdentifyImage(const Image& image);

// 64 hex digits, either case; nullopt for anything else.
std::optional<Sha256> ParseSha256(std::string_view hex);

// Empty when the image is the approved one; otherwise the text that refuses it:
// "img.bin is not the approved image (sha256 ...)". fileName names the file as shown.
std::string ApprovalFailure(const std::string& fileName, const ImageIdentity& identity,
                            const Sha256& approved);

}  // namespace bw
