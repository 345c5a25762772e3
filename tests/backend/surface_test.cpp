// Fills and copies between memory surfaces, read back pixel by pixel, clipping included.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

// A memory surface with its own bitmap, released in the order the program uses.
struct Canvas {
    Canvas(int32_t w, int32_t h) : width(w), height(h) {
        surface = plat::CreateCompatibleSurface(nullptr);
        bitmap = plat::CreateCompatibleBitmap(surface, w, h);
        plat::SelectBitmap(surface, bitmap);
    }
    ~Canvas() {
        plat::DeleteSurface(surface);
        plat::DeleteBitmap(bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void Fill(const plat::Rect& rect, uint32_t rgb) const {
        plat::BrushHandle brush = plat::CreateSolidBrush(static_cast<uint8_t>(rgb >> 16),
                                                         static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
        EXPECT_TRUE(plat::FillRect(surface, rect, brush));
        plat::DeleteBrush(brush);
    }
    uint32_t At(int32_t x, int32_t y) const {
        uint32_t rgb = 0xFFFFFFFF;
        EXPECT_TRUE(plat::ReadPixelForTest(surface, x, y, &rgb)) << x << "," << y;
        return rgb;
    }
    // Rows of pixels, for comparisons that show the whole picture on failure.
    std::vector<std::vector<uint32_t>> Rows() const {
        std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height));
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) rows[static_cast<size_t>(y)].push_back(At(x, y));
        return rows;
    }

    int32_t width;
    int32_t height;
    plat::SurfaceHandle surface = nullptr;
    plat::BitmapHandle bitmap = nullptr;
};

constexpr uint32_t O = 0x102030;  // the background of the target canvases

// A 4 x 4 source whose pixel (x, y) is 0x0100 * (10 * y + x) + 0x40: every pixel distinct.
uint32_t SourceColour(int32_t x, int32_t y) {
    return 0x000100u * static_cast<uint32_t>(10 * y + x) + 0x40u;
}

void PaintSource(const Canvas& source) {
    for (int32_t y = 0; y < source.height; ++y)
        for (int32_t x = 0; x < source.width; ++x) source.Fill({x, y, x + 1, y + 1}, SourceColour(x, y));
}

TEST(Surfaces, BitmapsHaveTheirSizeAndFillsKeepRightAndBottomExclusive) {
    Canvas canvas(6, 4);
    ASSERT_NE(canvas.surface, nullptr);
    ASSERT_NE(canvas.bitmap, nullptr);
    int32_t width = 0;
    int32_t height = 0;
    ASSERT_TRUE(plat::BitmapSize(canvas.bitmap, &width, &height));
    EXPECT_EQ(width, 6);
    EXPECT_EQ(height, 4);

    const uint32_t A = 0xFFFFFF;
    const uint32_t B = 0x0A0B0C;
    const uint32_t C = 0xFE0001;
    canvas.Fill({0, 0, 6, 4}, A);
    canvas.Fill({1, 1, 3, 3}, B);
    canvas.Fill({4, 2, 100, 100}, C);  // runs off the bitmap: clipped
    canvas.Fill({3, 0, 3, 4}, C);      // empty: changes nothing
    const std::vector<std::vector<uint32_t>> expected = {
        {A, A, A, A, A, A},
        {A, B, B, A, A, A},
        {A, B, B, A, C, C},
        {A, A, A, A, C, C},
    };
    EXPECT_EQ(canvas.Rows(), expected);
    uint32_t ignored = 0;
    EXPECT_FALSE(plat::ReadPixelForTest(canvas.surface, 6, 0, &ignored));
    EXPECT_FALSE(plat::ReadPixelForTest(canvas.surface, 0, -1, &ignored));
}

TEST(Surfaces, CopiesAreExactAndClippedToBothSurfaces) {
    Canvas source(4, 4);
    PaintSource(source);
    struct CopyCase {
        const char* what;
        int32_t x, y, w, h, sx, sy;
        // Which target pixel gets which source pixel: (tx, ty) <- (sx, sy).
        std::vector<std::vector<int32_t>> moved;
    };
    const std::vector<CopyCase> cases = {
        {"inside", 1, 1, 2, 2, 1, 0, {{1, 1, 1, 0}, {2, 1, 2, 0}, {1, 2, 1, 1}, {2, 2, 2, 1}}},
        {"past the target's right and bottom", 5, 3, 4, 4, 0, 0, {{5, 3, 0, 0}, {5, 4, 0, 1}}},
        {"before the target's left and top", -3, -2, 4, 4, 0, 0, {{0, 0, 3, 2}, {0, 1, 3, 3}}},
        {"before the source's left and top", 0, 0, 3, 3, -1, -2, {{1, 2, 0, 0}, {2, 2, 1, 0}}},
        {"past the source's right", 2, 0, 4, 1, 2, 3, {{2, 0, 2, 3}, {3, 0, 3, 3}}},
        {"empty", 0, 0, 0, 3, 0, 0, {}},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.what);
        Canvas target(6, 5);
        target.Fill({0, 0, 6, 5}, O);
        EXPECT_TRUE(plat::CopyRect(target.surface, c.x, c.y, c.w, c.h, source.surface, c.sx, c.sy));
        std::vector<std::vector<uint32_t>> expected(5, std::vector<uint32_t>(6, O));
        for (const auto& m : c.moved) expected[static_cast<size_t>(m[1])][static_cast<size_t>(m[0])] = SourceColour(m[2], m[3]);
        EXPECT_EQ(target.Rows(), expected);
    }
}

TEST(Surfaces, FullCopyOfALargeFrameIsExact) {
    // The size and use of a back buffer: a whole frame copied at once.
    const int32_t w = 640;
    const int32_t h = 360;
    Canvas frame(w, h);
    Canvas screen(w, h);
    frame.Fill({0, 0, w, h}, 0x204060);
    frame.Fill({w / 4, h / 4, 3 * w / 4, 3 * h / 4}, 0xF0E0D0);
    frame.Fill({w - 1, h - 1, w, h}, 0x010101);
    screen.Fill({0, 0, w, h}, 0xFFFFFF);
    ASSERT_TRUE(plat::CopyRect(screen.surface, 0, 0, w, h, frame.surface, 0, 0));
    EXPECT_EQ(screen.Rows(), frame.Rows());
}

TEST(Surfaces, SelectingAnotherBitmapKeepsEachBitmapsPixels) {
    // The run selects one prepared image after another into the same surface and copies from it.
    plat::SurfaceHandle images = plat::CreateCompatibleSurface(nullptr);
    ASSERT_NE(images, nullptr);
    plat::BitmapHandle first = plat::CreateCompatibleBitmap(images, 2, 2);
    plat::BitmapHandle second = plat::CreateCompatibleBitmap(images, 3, 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    plat::BrushHandle red = plat::CreateSolidBrush(200, 0, 0);
    plat::BrushHandle blue = plat::CreateSolidBrush(0, 0, 200);
    plat::SelectBitmap(images, first);
    EXPECT_TRUE(plat::FillRect(images, {0, 0, 2, 2}, red));
    plat::SelectBitmap(images, second);
    EXPECT_TRUE(plat::FillRect(images, {0, 0, 3, 1}, blue));

    Canvas target(3, 2);
    target.Fill({0, 0, 3, 2}, O);
    plat::SelectBitmap(images, first);
    EXPECT_TRUE(plat::CopyRect(target.surface, 0, 0, 3, 2, images, 0, 0));
    const std::vector<std::vector<uint32_t>> expected = {{0xC80000, 0xC80000, O}, {0xC80000, 0xC80000, O}};
    EXPECT_EQ(target.Rows(), expected);
    plat::SelectBitmap(images, second);
    uint32_t rgb = 0;
    EXPECT_TRUE(plat::ReadPixelForTest(images, 2, 0, &rgb));
    EXPECT_EQ(rgb, 0x0000C8u);

    plat::DeleteBrush(red);
    plat::DeleteBrush(blue);
    plat::DeleteSurface(images);
    plat::DeleteBitmap(first);
    plat::DeleteBitmap(second);
}

}  // namespace
