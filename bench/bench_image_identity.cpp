// Cost of an image's identity (SHA-256 and CRC-32 of 2048 bytes), computed once per load.

#include <chrono>
#include <cstdio>

#include "image/image_identity.h"

int main() {
    bw::Image image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 7);
    constexpr int kRounds = 2000;
    std::uint32_t sink = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        image[0] = static_cast<std::uint8_t>(i);
        sink += bw::IdentifyImage(image).crc32;
    }
    const double us =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    std::printf("# %d identities of a 2048-byte image (sum of CRCs %08X)\n", kRounds,
                static_cast<unsigned>(sink));
    std::printf("identity_us=%.2f\n", us / kRounds);
    return 0;
}
