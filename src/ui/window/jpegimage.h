#pragma once

// JPEG decoding through libjpeg, for the pictures embedded in the program.

#include <QByteArray>
#include <QImage>

namespace m845 {

// A null image when the data is no JPEG libjpeg can read; never aborts the program.
[[nodiscard]] QImage DecodeJpeg(const QByteArray &data);

} // namespace m845
