#include "platform/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <new>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

namespace quorvel::platform {

namespace {

// Pictures larger than this are refused before any pixel memory is taken, so a forged header
// cannot ask for gigabytes.
constexpr unsigned long maxPixels = 64UL * 1024 * 1024;

// libjpeg's default error handler calls exit(). Ours jumps back to decodeJpeg with the message;
// the jump crosses only libjpeg's C frames, never a C++ destructor.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void errorExit(j_common_ptr info)
{
    auto *manager = reinterpret_cast<ErrorManager *>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->back, 1);
}

void emitMessage(j_common_ptr info, int level)
{
    // A picture cut short is decoded by libjpeg as grey filler with a warning; we want no
    // half-grey picture, so that warning ends the decode. Other warnings stay silent.
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        errorExit(info);
}

// Runs the decode; kept apart from decodeJpeg so no object with a destructor lives in the frame
// that setjmp returns to twice.
bool decodeInto(jpeg_decompress_struct &cinfo, ErrorManager &errors, const unsigned char *data,
                std::size_t size, RgbImage &image)
{
    if (setjmp(errors.back))
        return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    // Greyscale pictures come out as RGB too: the caller always gets three bytes a pixel.
    cinfo.out_color_space = JCS_RGB;
    jpeg_calc_output_dimensions(&cinfo);
    const unsigned long pixels =
        static_cast<unsigned long>(cinfo.output_width) * cinfo.output_height;
    if (pixels == 0 || pixels > maxPixels) {
        std::snprintf(errors.message, sizeof errors.message, "picture too large (%u x %u)",
                      cinfo.output_width, cinfo.output_height);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    image.width = static_cast<int>(cinfo.output_width);
    image.height = static_cast<int>(cinfo.output_height);
    const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
    image.pixels.resize(stride * static_cast<std::size_t>(image.height));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.pixels.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

} // namespace

RgbImage decodeJpeg(const unsigned char *data, std::size_t size)
{
    if (!data || size == 0)
        throw JpegError("JPEG data is empty");
    if (size > 0xFFFFFFFFUL)
        throw JpegError("JPEG data is too large");
    RgbImage image;
    jpeg_decompress_struct cinfo {};
    ErrorManager errors {};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = errorExit;
    errors.base.emit_message = emitMessage;
    bool decoded = false;
    try {
        decoded = decodeInto(cinfo, errors, data, size, image);
    } catch (const std::bad_alloc &) {
        jpeg_destroy_decompress(&cinfo);
        throw JpegError("not enough memory for the JPEG picture");
    }
    jpeg_destroy_decompress(&cinfo);
    if (!decoded)
        throw JpegError(std::string("cannot decode JPEG picture: ") + errors.message);
    return image;
}

} // namespace quorvel::platform
