#include "ui/window/jpegimage.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace m845 {

namespace {

struct TJpegError
{
    jpeg_error_mgr mgr{};
    std::jmp_buf jump{};
};

// libjpeg's default handler exits the process; return to the decoder instead.
[[noreturn]] void OnJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<TJpegError *>(info->err)->jump, 1);
}

void SilenceJpegMessage(j_common_ptr) {}

// Two passes over the same header: with out null only the size is read, so that the image
// can be allocated outside the setjmp region (only trivially destructible objects live there).
bool Decode(const unsigned char *bytes, unsigned long size, int *width, int *height, QImage *out)
{
    jpeg_decompress_struct info{};
    TJpegError error;
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = OnJpegError;
    error.mgr.output_message = SilenceJpegMessage;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes, size);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    if (out == nullptr) {
        jpeg_calc_output_dimensions(&info);
        *width = static_cast<int>(info.output_width);
        *height = static_cast<int>(info.output_height);
        jpeg_destroy_decompress(&info);
        return true;
    }
    jpeg_start_decompress(&info);
    if (info.output_components != 3 || out->width() != static_cast<int>(info.output_width)
        || out->height() != static_cast<int>(info.output_height)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
    const auto size = static_cast<unsigned long>(data.size());
    int width = 0;
    int height = 0;
    if (!Decode(bytes, size, &width, &height, nullptr) || width <= 0 || height <= 0 || width > 16384
        || height > 16384)
        return {};
    // The image is made before decoding so no Qt object spans a longjmp.
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull() || !Decode(bytes, size, &width, &height, &image))
        return {};
    return image;
}

} // namespace m845
