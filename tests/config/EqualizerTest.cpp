// Mouse-to-curve and curve-to-pixel arithmetic of the equalizer box.

#include "config/Equalizer.h"

#include <gtest/gtest.h>

TEST(EqualizerGeometry, ClicksAcrossTheWidthPickPoints) {
    const int w = 400;
    EXPECT_EQ(config::eq::indexAt(15, w, 100), 0);
    EXPECT_EQ(config::eq::indexAt(w - 1, w, 100), 99);
    EXPECT_EQ(config::eq::indexAt(w - 3, w, 100), 99);
    EXPECT_EQ(config::eq::indexAt(w, w, 100), 100); // out of range: nothing is stored
    EXPECT_LT(config::eq::indexAt(0, w, 100), 0);
    EXPECT_EQ(config::eq::indexAt(30, 15, 100), -1); // no plot width
}

TEST(EqualizerGeometry, HeightMapsToGainWithZeroFloorAndNoCeiling) {
    const int h = 160;
    EXPECT_DOUBLE_EQ(config::eq::gainAt(h - 10, h), 0.0);
    EXPECT_DOUBLE_EQ(config::eq::gainAt(0, h), 1.5);
    EXPECT_DOUBLE_EQ(config::eq::gainAt(h - 2, h), 0.0);
    EXPECT_GT(config::eq::gainAt(-40, h), 1.5);
    EXPECT_DOUBLE_EQ(config::eq::gainAt(5, 10), 0.0); // no plot height
}

TEST(EqualizerGeometry, FlatCurveLiesOnTheUnityLine) {
    float gains[config::eq::kCapacity];
    int count = 0;
    for (float& g : gains)
        g = 0.25f;
    config::eq::flatten(gains, count);
    EXPECT_EQ(count, 100);
    for (int h : {150, 161, 333})
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(config::eq::pointY(gains[i], h), config::eq::unityY(h)) << h;
    EXPECT_EQ(config::eq::pointX(0, 400, count), 15);
    EXPECT_EQ(config::eq::pointX(99, 400, count), int(99 * (385.0 / 99) + 15));
    EXPECT_GE(config::eq::pointX(99, 400, count), 399);
    EXPECT_EQ(config::eq::pointX(50, 400, count), int(50 * (385.0 / 99) + 15));
}

TEST(EqualizerGeometry, CursorLabelAndScaleTexts) {
    EXPECT_EQ(config::eq::cursorLabel(50, 1.0, 100), "X: 0.25; Y: 1.00");
    EXPECT_EQ(config::eq::cursorLabel(99, 1.5, 100), "X: 0.50; Y: 1.50");
    EXPECT_EQ(config::eq::cursorLabel(0, 0.0, 100), "X: 0.00; Y: 0.00");
    EXPECT_EQ(config::eq::scaleText(1.5), "1.5");
    EXPECT_EQ(config::eq::scaleText(1.0), "1");
    EXPECT_EQ(config::eq::scaleText(0.0), "0");
}
