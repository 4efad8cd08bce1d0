// Decoding our pictures through libjpeg, damaged data, and the message box
// road with its hook.

#include "gui/JpegImage.h"
#include "gui/MessageBox.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMessageBox>

#include <stdexcept>

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(Jpeg, DecodesOurPicturesWithTheirColours) {
    QImage about = gui::jpegResource(":/pictures/about.jpg");
    ASSERT_FALSE(about.isNull());
    EXPECT_EQ(about.size(), QSize(575, 386));
    // The picture fades from white at the top to light blue at the bottom.
    QColor top = about.pixelColor(5, 2), bottom = about.pixelColor(5, 383);
    EXPECT_GT(top.lightness(), 240);
    EXPECT_GT(bottom.blue(), bottom.red());
    // The file in the tree and the embedded one are the same picture.
    EXPECT_EQ(gui::decodeJpeg(fileBytes(SILVANE_RESOURCES_DIR "/about.jpg")), about);
    for (const char* name :
         {":/pictures/mix-lr.jpg", ":/pictures/mix-rl.jpg", ":/pictures/mix-none.jpg"})
        EXPECT_EQ(gui::jpegResource(name).size(), QSize(373, 150)) << name;
}

TEST(Jpeg, GreyAndCmykPicturesComeOutAsRgb) {
    QImage grey = gui::decodeJpeg(fileBytes(SILVANE_CONFIG_DATA "/grey.jpg"));
    ASSERT_EQ(grey.size(), QSize(64, 48));
    QColor darkTop = grey.pixelColor(32, 0), lightBottom = grey.pixelColor(32, 47);
    EXPECT_LT(darkTop.lightness(), 30);
    EXPECT_GT(lightBottom.lightness(), 225);
    EXPECT_EQ(lightBottom.red(), lightBottom.blue());

    QImage cmyk = gui::decodeJpeg(fileBytes(SILVANE_CONFIG_DATA "/cmyk.jpg"));
    ASSERT_EQ(cmyk.size(), QSize(64, 48));
    QColor red = cmyk.pixelColor(10, 10);
    EXPECT_GT(red.red(), 200);
    EXPECT_LT(red.green(), 60);
    EXPECT_LT(red.blue(), 60);
}

TEST(Jpeg, DamagedDataNeverCrashes) {
    EXPECT_TRUE(gui::decodeJpeg(QByteArray()).isNull());
    EXPECT_TRUE(gui::decodeJpeg(QByteArray("not a picture at all")).isNull());
    EXPECT_TRUE(gui::jpegResource(":/pictures/none.jpg").isNull());
    QByteArray good = fileBytes(SILVANE_RESOURCES_DIR "/about.jpg");
    ASSERT_GT(good.size(), 1000);
    // Cut short: the decoded part comes back, the rest a flat grey.
    QImage half = gui::decodeJpeg(good.left(good.size() / 2));
    ASSERT_FALSE(half.isNull());
    EXPECT_GT(half.pixelColor(5, 2).lightness(), 240);
    QColor lost = half.pixelColor(5, 383);
    EXPECT_EQ(lost.red(), lost.green());
    EXPECT_EQ(lost.green(), lost.blue());
    EXPECT_EQ(lost, half.pixelColor(570, 383));
    // Header only, and bytes flipped throughout the data.
    gui::decodeJpeg(good.left(200));
    QByteArray noisy = good;
    for (int i = 300; i < noisy.size(); i += 97)
        noisy[i] = char(noisy[i] ^ 0x5a);
    gui::decodeJpeg(noisy);
}

TEST(MessageBoxRoad, HookRecordsInsteadOfShowing) {
    QStringList got;
    gui::MessageBoxHook old = gui::setMessageBoxHook(
        [&](const QString& text, const QString& caption) { got << caption + "|" + text; });
    EXPECT_EQ(gui::showMessageBox(nullptr, "Max length: 1250000", "Warning"), int(QMessageBox::Ok));
    gui::showExceptionReport(std::runtime_error("Unknown format"));
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0], "Warning|Max length: 1250000");
    EXPECT_TRUE(got[1].endsWith("|Unknown format"));
    EXPECT_FALSE(got[1].startsWith("|"));
    gui::setMessageBoxHook(old);
}
