#include "image/image_identity.h"

#include <gcrypt.h>

#include <cstdio>

namespace bw {
namespace {

// The library wants its version check before the first use; a program that set it up
// itself is left as it is. Digests need no secure memory.
void EnsureLibraryReady() {
    static const bool ready = [] {
        if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P) == 0) {
            gcry_check_version(nullptr);
            gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
            gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        }
        return true;
    }();
    (void)ready;
}

std::string Hex(const std::uint8_t* bytes, std::size_t count, const char* format) {
    std::string text;
    char digits[3];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, format, bytes[i]);
        text += digits;
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string ImageIdentity::sha256Hex() const {
    return Hex(sha256.data(), sha256.size(), "%02x");
}

std::string ImageIdentity::crc32Hex() const {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc32));
    return text;
}

std::string ImageIdentity::shortText() const {
    return "sha256 " + sha256Hex().substr(0, 8) + "  crc32 " + crc32Hex();
}

ImageIdentity IdentifyImage(const Image& image) {
    EnsureLibraryReady();
    ImageIdentity identity;
    gcry_md_hash_buffer(GCRY_MD_SHA256, identity.sha256.data(), image.data(), image.size());
    // The CRC comes out most significant byte first.
    std::array<std::uint8_t, 4> crc{};
    gcry_md_hash_buffer(GCRY_MD_CRC32, crc.data(), image.data(), image.size());
    identity.crc32 = (std::uint32_t{crc[0]} << 24) | (std::uint32_t{crc[1]} << 16) |
                     (std::uint32_t{crc[2]} << 8) | crc[3];
    return identity;
}

std::optional<Sha256> ParseSha256(std::string_view hex) {
    Sha256 digest{};
    if (hex.size() != digest.size() * 2) return std::nullopt;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = HexDigit(hex[2 * i]);
        const int low = HexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        digest[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return digest;
}

std::string ApprovalFailure(const std::string& fileName, const ImageIdentity& identity,
                            const Sha256& approved) {
    if (identity.sha256 == approved) return {};
    return fileName + " is not the approved image (sha256 " + identity.sha256Hex() + ")";
}

}  // namespace bw
