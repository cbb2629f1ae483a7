#pragma once
// JPEG decoding through libjpeg's decompressor.

#include <cstddef>
#include <stdexcept>
#include <vector>

namespace quorvel::platform {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels; // width * height * 3 bytes, rows top to bottom, R G B
};

class JpegError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws JpegError for data that is not a decodable JPEG picture; never aborts the process.
RgbImage decodeJpeg(const unsigned char *data, std::size_t size);

} // namespace quorvel::platform
