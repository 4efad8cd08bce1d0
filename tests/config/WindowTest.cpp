// The configuration window over its settings file, its handlers, the device
// lists and the language routines.

#include "config/Configu.h"
#include "config/Uabout.h"
#include "gui/PaintBox.h"
#include "gui/RadioGroup.h"
#include "tests/config/ConfigTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

using Window = std::unique_ptr<config::TFconfAS>;
Window makeWindow() {
    return Window(new config::TFconfAS);
}

int screenWidth() {
    return QGuiApplication::primaryScreen()->geometry().width();
}

} // namespace

class ConfigWindow : public InTempDir {};

TEST_F(ConfigWindow, NoFileShowsTheDefaults) {
    Window w = makeWindow();
    EXPECT_EQ(config::FconfAS, w.get());
    EXPECT_EQ(w->iniPath, QString::fromStdString(iniPath()));
    EXPECT_EQ(w->SRate->itemIndex(), 2);
    EXPECT_EQ(w->recSampleRate, 16000);
    EXPECT_EQ(w->nChannels->itemIndex(), 0);
    EXPECT_EQ(w->recChannels, 1);
    EXPECT_EQ(w->KindSubst->itemIndex(), 2);
    EXPECT_EQ(w->TBardB->value(), 82);
    EXPECT_EQ(w->limitDb(), -18);
    EXPECT_EQ(w->LabMul->text(), "-18 dB");
    EXPECT_DOUBLE_EQ(w->pNoise->value(), 0.95);
    EXPECT_DOUBLE_EQ(w->pMusicNoise->value(), 0.98);
    EXPECT_TRUE(w->SelectClearSpeech->isChecked());
    EXPECT_FALSE(w->AutoMix->isChecked());
    EXPECT_FALSE(w->MethodMix->isEnabled());
    EXPECT_TRUE(w->MethodMix->isChecked());
    EXPECT_TRUE(w->processEnabled);
    EXPECT_FALSE(w->useEqualizer);
    EXPECT_EQ(w->winLeft, 0);
    EXPECT_EQ(w->winTop, 0);
    EXPECT_EQ(w->winWidth, screenWidth());
    EXPECT_EQ(w->winHeight, 600);
    EXPECT_EQ(w->fileListWidth, 165);
    EXPECT_EQ(w->languageIndex, 0);
    EXPECT_EQ(w->eqPointCount, 100);
    for (int i = 0; i < 100; ++i)
        EXPECT_FLOAT_EQ(w->eqGains[i], 1.0f);
    EXPECT_TRUE(messages.isEmpty());
    // The tabs in their order.
    ASSERT_EQ(w->PageControl1->count(), 4);
    EXPECT_EQ(w->PageControl1->widget(0), w->TabSheet1);
    EXPECT_EQ(w->PageControl1->widget(1), w->TabSheet4);
    EXPECT_EQ(w->PageControl1->widget(2), w->TabSheet2);
    EXPECT_EQ(w->PageControl1->widget(3), w->TabSheet3);
}

TEST_F(ConfigWindow, ValuesWrittenAtExitComeBackAtTheNextStart) {
    useDevices(1, 1);
    {
        Window w = makeWindow();
        w->cboxLang->setCurrentIndex(1);
        w->cboxLangChange();
        w->SRate->setItemIndex(4);
        w->nChannels->setItemIndex(1);
        w->AutoMix->setChecked(true);
        w->MethodMix->setChecked(false);
        w->KindSubst->setItemIndex(1);
        w->TBardB->setValue(57);
        w->pNoise->setValue(0.875);
        w->pMusicNoise->setValue(0.993);
        w->SelectClearSpeech->setChecked(false);
        w->useEqualizer = true;
        w->outputDir = "/tmp/cleaned files";
        w->showClearSignal = false;
        w->showFileList = false;
        w->processEnabled = false;
        w->winLeft = 10;
        w->winTop = 20;
        w->winWidth = 300;
        w->winHeight = 200;
        w->fileListWidth = 99;
    }
    EXPECT_EQ(config::FconfAS, nullptr);
    Window w = makeWindow();
    EXPECT_EQ(w->languageIndex, 1);
    EXPECT_EQ(w->cboxLang->currentIndex(), 1);
    EXPECT_EQ(w->comboBoxPlayDevices->currentIndex(), 0);
    EXPECT_EQ(w->comboBoxRecDevices->currentIndex(), 0);
    EXPECT_EQ(w->SRate->itemIndex(), 4);
    EXPECT_EQ(w->recSampleRate, 32000);
    EXPECT_EQ(w->nChannels->itemIndex(), 1);
    EXPECT_EQ(w->recChannels, 2);
    EXPECT_TRUE(w->AutoMix->isChecked());
    EXPECT_TRUE(w->MethodMix->isEnabled());
    EXPECT_FALSE(w->MethodMix->isChecked());
    EXPECT_EQ(w->KindSubst->itemIndex(), 1);
    EXPECT_EQ(w->TBardB->value(), 57);
    EXPECT_EQ(w->LabMul->text(), "-43 dB");
    EXPECT_DOUBLE_EQ(w->pNoise->value(), 0.875);
    EXPECT_DOUBLE_EQ(w->pMusicNoise->value(), 0.993);
    EXPECT_FALSE(w->SelectClearSpeech->isChecked());
    EXPECT_TRUE(w->useEqualizer);
    EXPECT_EQ(w->outputDir, "/tmp/cleaned files");
    EXPECT_FALSE(w->showClearSignal);
    EXPECT_FALSE(w->showFileList);
    EXPECT_FALSE(w->processEnabled);
    EXPECT_EQ(w->winLeft, 10);
    EXPECT_EQ(w->winTop, 20);
    EXPECT_EQ(w->winWidth, 300);
    EXPECT_EQ(w->winHeight, 200);
    EXPECT_EQ(w->fileListWidth, 99);
}

TEST_F(ConfigWindow, LimitMinusThirtyMovesTheTrackBarAndIsStoredAgain) {
    writeIni("[Silvane]\nLimitation suppression (dB)=-30\n");
    {
        Window w = makeWindow();
        EXPECT_EQ(w->TBardB->value(), 70);
        EXPECT_EQ(w->LabMul->text(), "-30 dB");
    }
    EXPECT_NE(readIni().find("Limitation suppression (dB)=-30\n"), std::string::npos);
    EXPECT_NE(readIni().find("Musical noise reduction =0.98\n"), std::string::npos);
}

TEST_F(ConfigWindow, WindowPositionIsClampedToTheScreen) {
    writeIni("[Window Position]\nLeft=5000\nTop=-40\nWidth=99999\n");
    Window w = makeWindow();
    EXPECT_EQ(w->winLeft, screenWidth() - 10);
    EXPECT_EQ(w->winTop, 0);
    EXPECT_EQ(w->winWidth, screenWidth());
}

TEST_F(ConfigWindow, CancelRestoresTheEightValuesAndKeepsAutoMix) {
    useDevices(1, 1);
    Window w = makeWindow();
    w->FormActivate();
    w->comboBoxPlayDevices->setCurrentIndex(-1);
    w->comboBoxRecDevices->setCurrentIndex(-1);
    w->SRate->setItemIndex(0);
    w->SRateClick();
    w->nChannels->setItemIndex(1);
    w->nChannelsClick();
    w->KindSubst->setItemIndex(0);
    w->TBardB->setValue(10);
    w->pNoise->setValue(0.81);
    w->pMusicNoise->setValue(0.91);
    w->AutoMix->setChecked(true);
    w->SelectClearSpeech->setChecked(false);
    QTest::mouseClick(w->SButCancel, Qt::LeftButton);

    EXPECT_EQ(w->comboBoxPlayDevices->currentIndex(), 0);
    EXPECT_EQ(w->comboBoxRecDevices->currentIndex(), 0);
    EXPECT_EQ(w->SRate->itemIndex(), 2);
    EXPECT_EQ(w->recSampleRate, 16000);
    EXPECT_EQ(w->nChannels->itemIndex(), 0);
    EXPECT_EQ(w->recChannels, 1);
    EXPECT_EQ(w->KindSubst->itemIndex(), 2);
    EXPECT_EQ(w->TBardB->value(), 82);
    EXPECT_EQ(w->LabMul->text(), "-18 dB");
    EXPECT_DOUBLE_EQ(w->pNoise->value(), 0.95);
    EXPECT_DOUBLE_EQ(w->pMusicNoise->value(), 0.98);
    EXPECT_TRUE(w->AutoMix->isChecked());
    EXPECT_TRUE(w->MethodMix->isEnabled());
    EXPECT_FALSE(w->SelectClearSpeech->isChecked());
}

TEST_F(ConfigWindow, HostileFileReadsAsDefaults) {
    writeIni("\x01\x02garbage\n[Interface]\nLanguage=7\n[Playback sound]\nID device=9\n"
             "[Record sound]\nSample rate=99\nChannels=-1\n[Silvane]\nKind substration=5\n"
             "Limitation suppression (dB)=50\nNoise adaptation=lots\n"
             "Musical noise reduction =3.5\n[Window Position]\nHeight=tall\n");
    Window w = makeWindow();
    EXPECT_EQ(w->languageIndex, 0);
    EXPECT_EQ(w->comboBoxPlayDevices->currentIndex(), 0);
    EXPECT_EQ(w->SRate->itemIndex(), 2);
    EXPECT_EQ(w->nChannels->itemIndex(), 0);
    EXPECT_EQ(w->KindSubst->itemIndex(), 2);
    EXPECT_EQ(w->limitDb(), -18);
    EXPECT_DOUBLE_EQ(w->pNoise->value(), 0.95);
    EXPECT_DOUBLE_EQ(w->pMusicNoise->value(), 0.98);
    EXPECT_EQ(w->winHeight, 600);
}

TEST_F(ConfigWindow, NoDeviceShowsEachBoxOnceAndLeavesTheListsEmpty) {
    useDevices(0, 0);
    Window w = makeWindow();
    EXPECT_EQ(messages, QStringList({"NO Output Devices Found..", "NO Input Devices Found.."}));
    EXPECT_EQ(w->comboBoxPlayDevices->count(), 0);
    EXPECT_EQ(w->comboBoxRecDevices->count(), 0);
    EXPECT_EQ(w->comboBoxPlayDevices->currentIndex(), -1);
    // Defaults and Cancel on empty lists keep them empty and say nothing.
    w->FormActivate();
    w->SButDefautClick();
    w->SButCancelClick();
    EXPECT_EQ(w->comboBoxRecDevices->currentIndex(), -1);
    EXPECT_EQ(messages.size(), 2);
}

TEST_F(ConfigWindow, VirtualCardGivesOneNamedDeviceEach) {
    useDevices(1, 1);
    Window w = makeWindow();
    EXPECT_TRUE(messages.isEmpty());
    ASSERT_EQ(w->comboBoxPlayDevices->count(), 1);
    ASSERT_EQ(w->comboBoxRecDevices->count(), 1);
    EXPECT_FALSE(w->comboBoxPlayDevices->itemText(0).isEmpty());
    EXPECT_FALSE(w->comboBoxRecDevices->itemText(0).isEmpty());
    EXPECT_EQ(w->comboBoxPlayDevices->currentIndex(), 0);
}

TEST_F(ConfigWindow, DefaultButtonsAndDoubleClicks) {
    Window w = makeWindow();
    w->resize(w->sizeHint());
    w->KindSubst->setItemIndex(0);
    w->SelectClearSpeech->setChecked(false);
    w->TBardB->setValue(0);
    w->pNoise->setValue(0.5);
    w->pMusicNoise->setValue(0.5);
    QTest::mouseClick(w->DefaultSV, Qt::LeftButton);
    EXPECT_EQ(w->KindSubst->itemIndex(), 2);
    EXPECT_TRUE(w->SelectClearSpeech->isChecked());
    EXPECT_EQ(w->limitDb(), -14);
    EXPECT_EQ(w->LabMul->text(), "-14 dB");
    EXPECT_DOUBLE_EQ(w->pNoise->value(), 0.95);
    EXPECT_DOUBLE_EQ(w->pMusicNoise->value(), 0.98);

    w->TBardB->setValue(0);
    QTest::mouseDClick(w->Label1, Qt::LeftButton);
    EXPECT_EQ(w->TBardB->value(), 86);
    w->pNoise->setValue(0.1);
    QTest::mouseDClick(w->DefaultNoise, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(w->pNoise->value(), 0.95);
    w->pMusicNoise->setValue(0.1);
    QTest::mouseDClick(w->DefaultMusicNoise, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(w->pMusicNoise->value(), 0.98);

    w->SRate->setItemIndex(0);
    w->SRateClick();
    w->nChannels->setItemIndex(1);
    w->nChannelsClick();
    w->AutoMix->setChecked(true);
    w->MethodMix->setChecked(false);
    w->eqGains[7] = 0.2f;
    QTest::mouseClick(w->SButDefaut, Qt::LeftButton);
    EXPECT_EQ(w->recSampleRate, 16000);
    EXPECT_EQ(w->recChannels, 1);
    EXPECT_FALSE(w->AutoMix->isChecked());
    EXPECT_TRUE(w->MethodMix->isChecked());
    EXPECT_FALSE(w->MethodMix->isEnabled());
    EXPECT_EQ(w->limitDb(), -14);
    EXPECT_FLOAT_EQ(w->eqGains[7], 1.0f);
}

TEST_F(ConfigWindow, RadioClicksAndMixPictures) {
    Window w = makeWindow();
    QTest::mouseClick(w->SRate->button(1), Qt::LeftButton);
    EXPECT_EQ(w->recSampleRate, 11025);
    QTest::mouseClick(w->nChannels->button(1), Qt::LeftButton);
    EXPECT_EQ(w->recChannels, 2);

    w->AutoMix->setChecked(true);
    EXPECT_TRUE(w->MethodMix->isEnabled());
    w->MethodMix->setChecked(true);
    EXPECT_TRUE(w->ImageMixLR->isVisibleTo(w->TabSheet4));
    EXPECT_FALSE(w->ImageMixRL->isVisibleTo(w->TabSheet4));
    EXPECT_EQ(w->ImageMixLR->width(), 373);
    w->MethodMix->setChecked(false);
    EXPECT_FALSE(w->ImageMixLR->isVisibleTo(w->TabSheet4));
    EXPECT_TRUE(w->ImageMixRL->isVisibleTo(w->TabSheet4));
    EXPECT_FALSE(w->ImageMix->isVisibleTo(w->TabSheet4));
    EXPECT_FALSE(w->ImageMixLR->pixmap().isNull());
    EXPECT_FALSE(w->ImageMixRL->pixmap().isNull());
}

TEST_F(ConfigWindow, LanguageSwitchReachesEveryWindowInOrder) {
    config::TFAbout about;
    QStringList order;
    int id = config::registerLanguageListener([&](int lang) {
        order << QString("main %1 about %2").arg(lang).arg(about.Lab_www->text());
    });
    writeIni("[Interface]\nLanguage=1\n");
    Window w = makeWindow();
    // Creation applies the stored language to all windows once.
    ASSERT_EQ(order.size(), 1);
    EXPECT_EQ(order[0], "main 1 about " + config::makerWebSite(1));
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Конфигурация системы"));
    EXPECT_EQ(w->SButCancel->text(), QString::fromUtf8("Отмена"));
    EXPECT_EQ(about.labCopyright->text(), config::rightsNotice(1));

    w->cboxLang->setCurrentIndex(0);
    w->cboxLangChange();
    EXPECT_EQ(order.last(), "main 0 about " + config::makerWebSite(0));
    EXPECT_EQ(w->windowTitle(), "System configuration");
    EXPECT_EQ(w->SButCancel->text(), "Cancel");
    EXPECT_EQ(w->PageControl1->tabText(2), "Silvane");
    EXPECT_EQ(w->Label1->text(), "Limitation of suppression noise (dB):");
    EXPECT_EQ(w->pNoise->toolTip().count('\n'), 3);
    EXPECT_EQ(w->Lab_www->toolTip(), "Open URL: " + config::makerWebSite(0));
    EXPECT_EQ(about.Lab_www->toolTip(), "Open website: " + config::makerWebSite(0));

    config::unregisterLanguageListener(id);
    w->cboxLangChange();
    EXPECT_EQ(order.size(), 2);
}

TEST_F(ConfigWindow, NeuralMethodIsTheFourthChoiceInBothLanguagesAndIsStored) {
    {
        Window w = makeWindow();
        ASSERT_EQ(w->KindSubst->count(), 4);
        EXPECT_EQ(w->KindSubst->button(3)->text(), "Neural");
        w->cboxLang->setCurrentIndex(1);
        w->cboxLangChange();
        EXPECT_EQ(w->KindSubst->button(3)->text(), QString::fromUtf8("Нейросеть"));
        w->cboxLang->setCurrentIndex(0);
        w->cboxLangChange();
        EXPECT_EQ(w->KindSubst->button(3)->text(), "Neural");
        QTest::mouseClick(w->KindSubst->button(3), Qt::LeftButton);
        EXPECT_EQ(w->KindSubst->itemIndex(), 3);
    }
    Window again = makeWindow(); // the first window wrote the settings file as it closed
    EXPECT_EQ(again->KindSubst->itemIndex(), 3);
}

TEST_F(ConfigWindow, UnknownLanguageOnlyResetsTheCaption) {
    Window w = makeWindow();
    w->cboxLang->setCurrentIndex(1);
    w->cboxLangChange();
    w->applyLanguage(5);
    EXPECT_EQ(w->windowTitle(), "System configuration");
    EXPECT_EQ(w->SButCancel->text(), QString::fromUtf8("Отмена"));
}

TEST_F(ConfigWindow, EqualizerMouseDrawsTheCurve) {
    Window w = makeWindow();
    w->PBox1->resize(400, 160);
    const int W = 400, H = 160;
    QTest::mousePress(w->PBox1, Qt::LeftButton, {}, QPoint(15, H - 10));
    EXPECT_FLOAT_EQ(w->eqGains[0], 0.0f);
    QTest::mousePress(w->PBox1, Qt::LeftButton, {}, QPoint(W - 2, 0));
    EXPECT_FLOAT_EQ(w->eqGains[99], 1.5f);
    EXPECT_EQ(w->eqCursorIndex, 99);
    // Other buttons only move the cursor.
    QTest::mousePress(w->PBox1, Qt::RightButton, {}, QPoint(200, 100));
    EXPECT_FLOAT_EQ(w->eqGains[w->eqCursorIndex], 1.0f);
    // A drag with the left button held stores every point it passes.
    QMouseEvent move(QEvent::MouseMove, QPointF(100, H - 10), QPointF(100, H - 10), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->PBox1, &move);
    EXPECT_FLOAT_EQ(w->eqGains[config::eq::indexAt(100, W, 100)], 0.0f);
    // A click at the right edge is outside the curve and changes nothing.
    float before[config::eq::kCapacity];
    std::copy(w->eqGains, w->eqGains + config::eq::kCapacity, before);
    QTest::mousePress(w->PBox1, Qt::LeftButton, {}, QPoint(W, 50));
    EXPECT_TRUE(std::equal(before, before + config::eq::kCapacity, w->eqGains));
    QTest::mouseClick(w->DefaultGEQ, Qt::LeftButton);
    for (int i = 0; i < 100; ++i)
        EXPECT_FLOAT_EQ(w->eqGains[i], 1.0f);
    // Gains far above the scale paint without harm.
    w->eqGains[3] = 40.0f;
    EXPECT_FALSE(w->PBox1->grab().isNull());
}

TEST_F(ConfigWindow, AddressColoursAndOpensTheSiteOfTheLanguage) {
    Window w = makeWindow();
    auto colour = [&] { return w->Lab_www->palette().color(QPalette::WindowText); };
    QMouseEvent overLabel(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->Lab_www, &overLabel);
    EXPECT_EQ(colour(), QColor(255, 0, 0));
    QMouseEvent overPage(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->TabSheet1, &overPage);
    EXPECT_EQ(colour(), QColor(Qt::black));
}

TEST_F(ConfigWindow, PictureOpensTheAboutWindow) {
    config::TFAbout about;
    Window w = makeWindow();
    EXPECT_FALSE(w->Image1->pixmap().isNull());
    EXPECT_FALSE(about.isVisible());
    QTest::mouseClick(w->Image1, Qt::LeftButton);
    EXPECT_TRUE(about.isVisible());
    about.hide();
}

TEST_F(ConfigWindow, UnsavableSettingsAreReportedAtExit) {
    {
        Window w = makeWindow();
        w->iniPath = QString::fromStdString((dir_ / "gone" / "SV.ini").string());
    }
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("The settings were not saved"));
}
