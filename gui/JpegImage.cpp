#include "gui/JpegImage.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace gui {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return; we
// jump back out of the library. The two functions that set the jump point
// hold no object with a destructor, so the jump skips nothing that needs one.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void onError(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr) {} // warnings (a truncated file) stay quiet

// Pictures larger than this are refused rather than allocated.
constexpr JDIMENSION kMaxSide = 8192;

struct Geometry {
    JDIMENSION width = 0, height = 0;
    bool cmyk = false;
};

void begin(jpeg_decompress_struct& info, ErrorManager& err, const unsigned char* data,
           unsigned long size) {
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = onMessage;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
}

bool readGeometry(const unsigned char* data, unsigned long size, Geometry& g) {
    jpeg_decompress_struct info;
    ErrorManager err;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    begin(info, err, data, size);
    bool ok = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
    if (ok) {
        g.width = info.image_width;
        g.height = info.image_height;
        g.cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    }
    jpeg_destroy_decompress(&info);
    return ok;
}

// Decodes into `pixels` (RGB888 rows of `stride` bytes); `row` holds one CMYK
// row. Returns false on a fatal error; rows not reached keep their contents.
bool readRows(const unsigned char* data, unsigned long size, const Geometry& g,
              unsigned char* pixels, std::size_t stride, unsigned char* row) {
    jpeg_decompress_struct info;
    ErrorManager err;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    begin(info, err, data, size);
    jpeg_read_header(&info, TRUE);
    // CMYK cannot be turned into RGB by the library; take it as it is and
    // convert here. Everything else comes out as RGB.
    info.out_color_space = g.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_width != g.width || info.output_height != g.height) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        unsigned char* out = pixels + std::size_t(info.output_scanline) * stride;
        JSAMPROW rows[1] = {g.cmyk ? row : out};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            break;
        if (g.cmyk) {
            // Adobe writes CMYK inverted; that is what decoders meet in practice.
            for (JDIMENSION x = 0; x < g.width; ++x) {
                const unsigned char* p = row + std::size_t(x) * 4;
                unsigned k = p[3];
                out[x * 3 + 0] = static_cast<unsigned char>(p[0] * k / 255);
                out[x * 3 + 1] = static_cast<unsigned char>(p[1] * k / 255);
                out[x * 3 + 2] = static_cast<unsigned char>(p[2] * k / 255);
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage decodeJpeg(const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const auto size = static_cast<unsigned long>(data.size());
    Geometry g;
    if (data.size() < 4 || !readGeometry(bytes, size, g))
        return QImage();
    if (g.width == 0 || g.height == 0 || g.width > kMaxSide || g.height > kMaxSide)
        return QImage();
    QImage image(int(g.width), int(g.height), QImage::Format_RGB888);
    if (image.isNull())
        return QImage();
    image.fill(Qt::gray);
    std::vector<unsigned char> row(g.cmyk ? std::size_t(g.width) * 4 : 0);
    if (!readRows(bytes, size, g, image.bits(), std::size_t(image.bytesPerLine()), row.data()))
        return QImage();
    return image;
}

QImage jpegResource(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QImage();
    return decodeJpeg(f.readAll());
}

} // namespace gui
