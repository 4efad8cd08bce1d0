#pragma once
// JPEG decoding through libjpeg-turbo into a QImage (Qt's own image plugins
// are not used for our pictures).

#include <QByteArray>
#include <QImage>
#include <QString>

namespace gui {

// Decodes a baseline or progressive JPEG (greyscale, RGB or CMYK) into an
// RGB888 image. Damaged or non-JPEG data gives a null image, never a crash;
// a truncated file gives the part that was decoded, the rest grey.
QImage decodeJpeg(const QByteArray& data);

// Decodes a picture kept in the program's resources (":/pictures/...").
QImage jpegResource(const QString& path);

} // namespace gui
