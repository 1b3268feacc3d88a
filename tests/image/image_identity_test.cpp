#include "image/image_identity.h"

#include <gtest/gtest.h>

namespace bw {
namespace {

Image Ramp() {
    Image image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i);
    return image;
}

// Reference values from independent tools (sha256sum, zlib's crc32).
TEST(ImageIdentity, KnownDigestsOfTwoImages) {
    struct Case {
        Image image;
        const char* sha256;
        const char* crc32;
    };
    const Case cases[] = {
        {Image{}, "e5a00aa9991ac8a5ee3109844d84a55583bd20572ad3ffcd42792f3c36b183ad", "F1E8BA9E"},
        {Ramp(), "10fc3c51a152e90e5b90319b601d92ccf37290ef53c35ff92507687d8a911a08", "9F5EDD58"},
    };
    for (const auto& c : cases) {
        const ImageIdentity id = IdentifyImage(c.image);
        EXPECT_EQ(id.sha256Hex(), c.sha256);
        EXPECT_EQ(id.crc32Hex(), c.crc32);
        EXPECT_EQ(id.shortText(),
                  std::string("sha256 ") + std::string(c.sha256, 8) + "  crc32 " + c.crc32);
    }
}

TEST(ImageIdentity, ApprovalTakesOnlyTheSameDigestInEitherCase) {
    const ImageIdentity ramp = IdentifyImage(Ramp());
    const std::string upper = "10FC3C51A152E90E5B90319B601D92CCF37290EF53C35FF92507687D8A911A08";
    ASSERT_TRUE(ParseSha256(upper));
    EXPECT_EQ(ApprovalFailure("img.bin", ramp, *ParseSha256(upper)), "");
    EXPECT_EQ(ApprovalFailure("img.bin", IdentifyImage(Image{}), *ParseSha256(upper)),
              "img.bin is not the approved image (sha256 "
              "e5a00aa9991ac8a5ee3109844d84a55583bd20572ad3ffcd42792f3c36b183ad)");
    // Prefixes replace the first digit in place: GCC 12 at -O3 reports a false -Wrestrict
    // for "g" + text.
    std::string letter = upper;
    letter[0] = 'g';
    std::string blank = upper;
    blank[0] = ' ';
    for (const std::string& bad : {upper.substr(1), upper + "0", letter, blank, std::string()}) {
        EXPECT_FALSE(ParseSha256(bad)) << bad;
    }
}

}  // namespace
}  // namespace bw
