#include "platform/jpeg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

using quorvel::platform::decodeJpeg;
using quorvel::platform::JpegError;

namespace {

// Compresses a picture with libjpeg in memory: components 3 for RGB, 1 for greyscale.
std::vector<unsigned char> encode(int width, int height, int components,
                                  const std::vector<unsigned char> &pixels)
{
    jpeg_compress_struct cinfo {};
    jpeg_error_mgr errors {};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        auto *row = const_cast<unsigned char *>(pixels.data()) +
                    static_cast<std::size_t>(cinfo.next_scanline) * width * components;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<unsigned char> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

bool near(int a, int b)
{
    return std::abs(a - b) <= 8;
}

TEST(Jpeg, DecodesColourPictureRowsTopToBottom)
{
    // Top half red, bottom half blue: a decoder that flips rows or swaps channels shows.
    const int w = 16, h = 16;
    std::vector<unsigned char> pixels(w * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            unsigned char *p = &pixels[(y * w + x) * 3];
            p[0] = y < h / 2 ? 220 : 10;
            p[1] = 20;
            p[2] = y < h / 2 ? 10 : 230;
        }
    }
    const auto data = encode(w, h, 3, pixels);
    const auto image = decodeJpeg(data.data(), data.size());
    ASSERT_EQ(image.width, w);
    ASSERT_EQ(image.height, h);
    ASSERT_EQ(image.pixels.size(), std::size_t(w * h * 3));
    EXPECT_TRUE(near(image.pixels[0], 220) && near(image.pixels[2], 10));
    const std::size_t last = (std::size_t(h) * w - 1) * 3;
    EXPECT_TRUE(near(image.pixels[last], 10) && near(image.pixels[last + 2], 230));
}

TEST(Jpeg, GreyscaleComesOutAsThreeEqualChannels)
{
    const int w = 8, h = 8;
    const std::vector<unsigned char> grey(w * h, 128);
    const auto data = encode(w, h, 1, grey);
    const auto image = decodeJpeg(data.data(), data.size());
    ASSERT_EQ(image.pixels.size(), std::size_t(w * h * 3));
    for (std::size_t i = 0; i < image.pixels.size(); i += 3) {
        EXPECT_TRUE(near(image.pixels[i], 128));
        EXPECT_EQ(image.pixels[i], image.pixels[i + 1]);
        EXPECT_EQ(image.pixels[i], image.pixels[i + 2]);
    }
}

TEST(Jpeg, BadDataThrowsInsteadOfEndingTheProcess)
{
    const int w = 32, h = 32;
    const auto good = encode(w, h, 3, std::vector<unsigned char>(w * h * 3, 90));
    const std::vector<unsigned char> garbage ={'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'g'};
    const std::vector<unsigned char> headerOnly(good.begin(), good.begin() + 20);
    const std::vector<unsigned char> truncated(good.begin(), good.begin() + good.size() / 2);
    // A header claiming a huge picture must not allocate for it.
    std::vector<unsigned char> huge = good;
    for (std::size_t i = 0; i + 8 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 7] = 0xFF;
            huge[i + 6] = huge[i + 8] = 0xF0;
            break;
        }
    }
    const std::vector<unsigned char> *const bads[] = {&garbage, &headerOnly, &truncated, &huge};
    for (const auto *bad : bads)
        EXPECT_THROW(decodeJpeg(bad->data(), bad->size()), JpegError);
    EXPECT_THROW(decodeJpeg(nullptr, 0), JpegError);
    EXPECT_THROW(decodeJpeg(good.data(), 0), JpegError);
}

} // namespace
