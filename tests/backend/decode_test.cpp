// Image files decoded into bitmaps: sizes, exact colours, and transparency over the given background.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

struct ExpectedPixel {
    int32_t x;
    int32_t y;
    uint32_t rgb;  // 0x00RRGGBB
};

struct DecodeCase {
    const char* path;
    int32_t width;
    int32_t height;
    int tolerance;  // per channel; lossy formats only
    std::vector<ExpectedPixel> pixels;
};

constexpr uint32_t kBackgroundArgb = 0xFF204060;
constexpr uint32_t kBackgroundRgb = 0x204060;

// The 5 x 3 pattern of opaque.*: every pixel a different colour, extremes included.
const std::vector<ExpectedPixel> kOpaquePattern = {
    {0, 0, 0xFF0000}, {1, 0, 0x00FF00}, {2, 0, 0x0000FF}, {3, 0, 0xFFFFFF}, {4, 0, 0x000000},
    {0, 1, 0x123456}, {1, 1, 0xC86432}, {2, 1, 0x010203}, {3, 1, 0x808080}, {4, 1, 0xFAF0E6},
    {0, 2, 0x0A141E}, {1, 2, 0x28323C}, {2, 2, 0x46505A}, {3, 2, 0x646E78}, {4, 2, 0x828C96},
};

int ChannelDistance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        worst = d > worst ? d : worst;
    }
    return worst;
}

// Reads the bitmap through a memory surface, as the program copies from it.
std::vector<uint32_t> ReadAll(plat::BitmapHandle bitmap, int32_t width, int32_t height) {
    std::vector<uint32_t> out;
    plat::SurfaceHandle surface = plat::CreateCompatibleSurface(nullptr);
    if (surface == nullptr) return out;
    plat::SelectBitmap(surface, bitmap);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint32_t rgb = 0xFFFFFFFF;
            EXPECT_TRUE(plat::ReadPixelForTest(surface, x, y, &rgb)) << x << "," << y;
            out.push_back(rgb);
        }
    }
    plat::DeleteSurface(surface);
    return out;
}

class ImageDecoding : public ::testing::Test {
protected:
    void SetUp() override { token_ = plat::StartImageDecoder(); }
    void TearDown() override { plat::StopImageDecoder(token_); }
    uintptr_t token_ = 0;
};

TEST_F(ImageDecoding, FormatsGiveTheirOwnSizeAndColoursOverTheBackground) {
    // Half of 255 red over the background: about 255 * 128/255 + 0x20 * 127/255, and so on.
    const uint32_t halfRedOverBackground = 0x902030;
    const std::vector<DecodeCase> cases = {
        {"data/decode/opaque.png", 5, 3, 0, kOpaquePattern},
        {"data/decode/opaque.bmp", 5, 3, 0, kOpaquePattern},
        {"data/decode/opaque.tif", 5, 3, 0, kOpaquePattern},
        {"data/decode/alpha.png", 3, 2, 3,
         {{0, 0, 0x0A141E}, {1, 0, kBackgroundRgb}, {2, 0, halfRedOverBackground},
          {0, 1, 0x0000FF}, {1, 1, kBackgroundRgb}, {2, 1, 0xFFFFFF}}},
        {"data/decode/transparent.gif", 4, 2, 0,
         {{0, 0, 0xFF0000}, {1, 0, kBackgroundRgb}, {2, 0, 0x0000FF}, {3, 0, 0xFFFFFF},
          {0, 1, 0x00FF00}, {1, 1, 0xFF0000}, {2, 1, 0x0000FF}, {3, 1, 0x000000}}},
        // Two flat 8 x 8 blocks; block centres stay close to the encoded colours.
        {"data/decode/blocks.jpg", 16, 8, 8, {{3, 3, 0xDC2828}, {12, 4, 0x1E3CC8}}},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.path);
        plat::BitmapHandle bitmap = plat::DecodeImageFile(c.path, kBackgroundArgb);
        ASSERT_NE(bitmap, nullptr);
        int32_t width = 0;
        int32_t height = 0;
        ASSERT_TRUE(plat::BitmapSize(bitmap, &width, &height));
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        if (width == c.width && height == c.height) {
            const std::vector<uint32_t> got = ReadAll(bitmap, width, height);
            ASSERT_EQ(got.size(), static_cast<size_t>(width * height));
            for (const ExpectedPixel& p : c.pixels) {
                const uint32_t actual = got[static_cast<size_t>(p.y * width + p.x)];
                EXPECT_LE(ChannelDistance(actual, p.rgb), c.tolerance)
                    << "pixel " << p.x << "," << p.y << std::hex << ": got 0x" << actual << ", want 0x" << p.rgb;
            }
        }
        plat::DeleteBitmap(bitmap);
    }
}

TEST_F(ImageDecoding, TransparentPixelsTakeWhicheverBackgroundIsPassed) {
    const uint32_t backgrounds[][2] = {{0xFFF0F0F0, 0xF0F0F0}, {0xFF010203, 0x010203}, {0xFFFEDCBA, 0xFEDCBA}};
    for (const auto& background : backgrounds) {
        SCOPED_TRACE(background[0]);
        plat::BitmapHandle bitmap = plat::DecodeImageFile("data/decode/alpha.png", background[0]);
        ASSERT_NE(bitmap, nullptr);
        const std::vector<uint32_t> got = ReadAll(bitmap, 3, 2);
        ASSERT_EQ(got.size(), 6u);
        EXPECT_EQ(got[1], background[1]);
        EXPECT_EQ(got[4], background[1]);
        EXPECT_EQ(got[0], 0x0A141Eu);
        plat::DeleteBitmap(bitmap);
    }
}

TEST_F(ImageDecoding, UnreadableFilesGiveNull) {
    const char* paths[] = {
        "data/decode/not_an_image.png",  // exists, but is text
        "data/decode/no_such_file.png",
        "data/no_such_directory/opaque.png",
        "",
    };
    for (const char* path : paths) {
        EXPECT_EQ(plat::DecodeImageFile(path, kBackgroundArgb), nullptr) << path;
    }
}

}  // namespace
