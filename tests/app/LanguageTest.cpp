// The main window's interface language: every caption and hint after a switch
// to Russian and back, the processing switch after its state, unknown
// indices, the stored language applied when the configuration window is
// created, and the idle texts written while a recording, a full-duplex run or a
// processing run goes on.

#include "tests/app/SoundTestSupport.h"

#include "config/Configu.h"

#include <QMenuBar>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using apptest::windows;
using soundtest::shows;

const QString kPaneHintEnglish =
    "Click Left button for setting cursor position\nor Click Right button for playback";
const QString kPaneHintRussian =
    QString::fromUtf8("Нажмите Левую кнопку для задания позиции курсора\nили нажмите Правую кнопку "
                      "для воспроизведения");

// A language chosen in the configuration window's box.
void switchTo(int lang) {
    config::FconfAS->cboxLang->setCurrentIndex(lang);
    config::FconfAS->cboxLangChange();
}

using Texts = std::vector<std::pair<std::string, QString>>;

// Every text the language routine writes, named after its control.
Texts textsOf(app::TFPanelSignal* w) {
    Texts t;
    auto caption = [&](const QString& name, const QString& text) {
        t.emplace_back(name.toStdString(), text);
    };
    int n = 0;
    for (QAction* menu : w->menuBar()->actions())
        caption("menu" + QString::number(n++), menu->text());
    for (QAction* a :
         {w->mOpen, w->mSaveAs, w->mSaveSelection, w->mOpenChanged, w->mSaveChangedAs,
          w->mSaveChangedSelection, w->mClose, w->mOptions, w->mCutOriginal, w->mCutClear,
          w->ShowFileList, w->mSpectrogram, w->mLogFrequency, w->mAbout, w->mDuplex,
          w->mStatusProcess, w->mShowParameters, w->mSelectClearSpeech, w->mExit})
        caption("item" + QString::number(n++), a->text());
    n = 0;
    for (QLabel* l : w->CoolBar1->findChildren<QLabel*>())
        if (l != w->Image1)
            caption("band" + QString::number(n++), l->text());
    for (QWidget* c : std::initializer_list<QWidget*>{w->tOpen,
                                                      w->tSave,
                                                      w->tSaveSelection,
                                                      w->tCut,
                                                      w->tPlayAll,
                                                      w->tPlayLoopedAll,
                                                      w->tRecord,
                                                      w->tDuplex,
                                                      w->tOptions,
                                                      w->bStart,
                                                      w->bEnabledPr,
                                                      w->tOpenNew,
                                                      w->tSaveNew,
                                                      w->tSaveNewSelection,
                                                      w->tCutNew,
                                                      w->tPlayNewAll,
                                                      w->tPlayLoopedNewAll,
                                                      w->bAuto,
                                                      w->tSetDirSaveNew,
                                                      w->tOptions2,
                                                      w->SelectClearSpeech,
                                                      w->UseFFTEQ,
                                                      w->DirList,
                                                      w->tPlay0,
                                                      w->tSaveL,
                                                      w->tCutL,
                                                      w->grSig0,
                                                      w->tPlay1,
                                                      w->tSaveR,
                                                      w->tCutR,
                                                      w->grSig1,
                                                      w->tPlayNew0,
                                                      w->tSaveNewL,
                                                      w->tCutNewL,
                                                      w->SpeedButton5,
                                                      w->grSigNew0,
                                                      w->tPlayNew1,
                                                      w->tSaveNewR,
                                                      w->tCutNewR,
                                                      w->SpeedButton2,
                                                      w->bMixNew,
                                                      w->ToolButton14,
                                                      w->SpeedButton1,
                                                      w->SpeedButton4,
                                                      w->ZoomOut,
                                                      w->ZoomOutY,
                                                      w->grSigNew1,
                                                      w->Status0,
                                                      w->Status1,
                                                      w->StatusDir1})
        caption(c->objectName() + ".hint", c->toolTip());
    for (QToolButton* b : {w->bStart, w->bEnabledPr, w->SpeedButton5, w->SpeedButton2, w->bMixNew,
                           w->ZoomOut, w->ZoomOutY})
        caption(b->objectName(), b->text());
    for (QCheckBox* b : {w->SelectClearSpeech, w->UseFFTEQ, w->ShowSTATEVAD, w->ShowClearSig})
        caption(b->objectName(), b->text());
    for (QLabel* l : {w->LabelOrigL, w->LabelOrigR, w->LabelChangL, w->LabelChangR, w->labelDTime})
        caption(l->objectName(), l->text());
    return t;
}

// The texts that read the same in both languages.
const std::set<std::string> kSameInBoth = {
    "band0",        "band1",      "band2",      "band3",       "band4",       "bStart",
    "bEnabledPr",   "LabelOrigL", "LabelOrigR", "LabelChangL", "LabelChangR", "SpeedButton5",
    "SpeedButton2", "bMixNew",    "ZoomOut",    "ZoomOutY"};

class Language : public ::testing::Test {
  protected:
    app::TFPanelSignal* w = nullptr;
    bool keptEnabled = false;
    void SetUp() override {
        w = windows();
        keptEnabled = w->bEnabledPr->isChecked();
    }
    void TearDown() override {
        w->bEnabledPr->setChecked(keptEnabled);
        switchTo(0);
    }
};

TEST_F(Language, RussianAndBackGivesEveryEnglishTextAgain) {
    switchTo(0);
    const Texts english = textsOf(w);
    // English texts that are not the design-time ones.
    EXPECT_EQ(w->tOpen->toolTip(), "Open a sound file");
    EXPECT_EQ(w->tOpenNew->toolTip(), "Open sound file");
    EXPECT_EQ(w->grSig0->toolTip(), kPaneHintEnglish);
    EXPECT_EQ(w->bMixNew->toolTip(),
              "To mix the Left and Right channels by using to the chosen mixing method.\n"
              "Result to keep into Right-channel.");
    EXPECT_EQ(w->tDuplex->toolTip(), "Start audio recording with Playback (Full duplex mode)");
    EXPECT_EQ(w->labelDTime->text(), " Time process: ");
    EXPECT_EQ(w->ToolBar6->findChild<QLabel*>()->text(), "Automat:");
    EXPECT_EQ(w->menuBar()->actions().value(0)->text(), "&File");
    EXPECT_EQ(w->mClose->text(), "Close");
    EXPECT_EQ(w->mExit->text(), "Exit");
    EXPECT_EQ(w->DirList->toolTip(), "Set directory with original sound files");

    switchTo(1);
    const Texts russian = textsOf(w);
    ASSERT_EQ(russian.size(), english.size());
    for (std::size_t i = 0; i < english.size(); ++i) {
        ASSERT_EQ(russian[i].first, english[i].first);
        if (kSameInBoth.count(english[i].first))
            EXPECT_EQ(russian[i].second, english[i].second) << english[i].first;
        else
            EXPECT_NE(russian[i].second, english[i].second) << english[i].first;
    }
    EXPECT_EQ(w->tOpen->toolTip(), QString::fromUtf8("Открыть звуковой файл"));
    EXPECT_EQ(w->grSig1->toolTip(), kPaneHintRussian);
    EXPECT_EQ(w->bMixNew->toolTip(),
              QString::fromUtf8("Микшировать Левый и Правый каналы используя выбранный метод.\n"
                                "Результат микширования положить в Правый канал."));
    EXPECT_EQ(
        w->tDuplex->toolTip(),
        QString::fromUtf8(
            "Начать аудио запись с воспроизведением (Full duplex mode - режим говори и слушай)"));
    EXPECT_EQ(w->tCut->toolTip(),
              QString::fromUtf8("Вырезать выделенный фрагмент исходного сигнала"));
    EXPECT_EQ(w->mCutOriginal->text(), QString::fromUtf8("Вырезать фрагмент исходного сигнала"));
    EXPECT_EQ(w->mClose->text(), QString::fromUtf8("Закрыть программу"));
    EXPECT_EQ(w->menuBar()->actions().value(0)->text(), QString::fromUtf8("&Файл"));

    switchTo(0);
    const Texts again = textsOf(w);
    ASSERT_EQ(again.size(), english.size());
    for (std::size_t i = 0; i < english.size(); ++i)
        EXPECT_EQ(again[i].second, english[i].second) << english[i].first;
    // The logo band has no text, in either language.
    EXPECT_TRUE(w->Image1->text().isEmpty());
}

TEST_F(Language, TheProcessingSwitchIsLabelledAfterItsState) {
    struct Case {
        bool down;
        int lang;
        const char *caption, *hint, *menu;
    };
    const Case cases[] = {
        {true, 0, "Enabled", "Click to Disable process", "To Disable process"},
        {true, 1, "Enabled", "Нажмите для Отключения обработки", "Отключить обработку"},
        {false, 0, "Disabled", "Click to Enable process", "To Enable process"},
        {false, 1, "Disabled", "Нажмите для Включения обработки", "Включить обработку"},
    };
    const bool kept = config::FconfAS->processEnabled;
    for (const Case& c : cases) {
        w->bEnabledPr->setChecked(c.down);
        switchTo(c.lang);
        EXPECT_EQ(w->bEnabledPr->isChecked(), c.down) << "a switch does not toggle processing";
        EXPECT_EQ(w->bEnabledPr->text(), c.caption);
        EXPECT_EQ(w->bEnabledPr->toolTip(), QString::fromUtf8(c.hint)) << c.down << c.lang;
        EXPECT_EQ(w->mStatusProcess->text(), QString::fromUtf8(c.menu)) << c.down << c.lang;
    }
    EXPECT_EQ(config::FconfAS->processEnabled, kept);
}

TEST_F(Language, UnknownIndicesChangeNothing) {
    for (int lang : {0, 1}) {
        switchTo(lang);
        const Texts before = textsOf(w);
        // A state the routine would show differently if it ran.
        w->bEnabledPr->setChecked(!w->bEnabledPr->isChecked());
        for (int unknown : {5, 2, -1})
            w->applyLanguage(unknown);
        config::FconfAS->cboxLang->setCurrentIndex(-1); // the box with no choice
        config::FconfAS->cboxLangChange();
        const Texts after = textsOf(w);
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(after[i].second, before[i].second) << lang << " " << before[i].first;
        w->bEnabledPr->setChecked(!w->bEnabledPr->isChecked());
    }
}

TEST_F(Language, TheStoredLanguageLabelsTheWindowWhenTheConfigurationIsCreated) {
    // The fixture created the configuration window after this one, without a
    // settings file: English, and not the design-time texts.
    EXPECT_EQ(w->tOpen->toolTip(), "Open a sound file");
    EXPECT_EQ(w->ToolBar6->findChild<QLabel*>()->text(), "Automat:");

    const std::string ini = apptest::scratchDir() + "/SV.ini";
    std::ofstream(ini) << "[Interface]\nLanguage=1\n";
    {
        config::TFconfAS second; // reads the file, as at start-up
        EXPECT_EQ(second.languageIndex, 1);
        EXPECT_EQ(w->tOpen->toolTip(), QString::fromUtf8("Открыть звуковой файл"));
        EXPECT_EQ(w->grSig0->toolTip(), kPaneHintRussian);
        EXPECT_EQ(w->menuBar()->actions().value(0)->text(), QString::fromUtf8("&Файл"));
    }
    std::filesystem::remove(ini);
}

// Switching while a recording, a full-duplex run or a processing run goes on:
// the idle texts, the run goes on, and its end writes the texts again.
class LanguageWhileRunning : public soundtest::SoundTest {
  protected:
    void TearDown() override {
        SoundTest::TearDown();
        switchTo(0);
    }
};

TEST_F(LanguageWhileRunning, ARecordingShowsTheIdleHintAndGoesOn) {
    soundtest::configure(8000, 1);
    switchTo(0);
    w->tRecordClick();
    ASSERT_EQ(w->workMode, app::WorkRecording);
    EXPECT_EQ(w->tRecord->toolTip(), "Stop audio recording");
    switchTo(1);
    EXPECT_EQ(w->tRecord->toolTip(), QString::fromUtf8("Начать аудио запись во внутрений буфер"));
    EXPECT_EQ(w->workMode, app::WorkRecording);
    EXPECT_TRUE(w->TimerRec->isActive());
    EXPECT_TRUE(shows(w->tRecord, app::ImgStop)); // the button still stops
    soundtest::advance(500);
    w->tRecordClick();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(w->workMode, app::WorkReady);
    EXPECT_GT(w->origLength, 0);
    EXPECT_EQ(w->tRecord->toolTip(), QString::fromUtf8("Начать аудио запись во внутрений буфер"));
}

TEST_F(LanguageWhileRunning, FullDuplexShowsTheIdleTextsAndGoesOn) {
    soundtest::configure(8000, 1);
    switchTo(0);
    w->tDuplexClick();
    ASSERT_EQ(w->workMode, app::WorkDuplex);
    EXPECT_EQ(w->tDuplex->toolTip(), "Stop audio recording with Playback (Duplex mode)");
    EXPECT_EQ(w->mDuplex->text(), "Stop audio recording with Playback");
    switchTo(1);
    EXPECT_EQ(
        w->tDuplex->toolTip(),
        QString::fromUtf8(
            "Начать аудио запись с воспроизведением (Full duplex mode - режим говори и слушай)"));
    EXPECT_EQ(w->mDuplex->text(), QString::fromUtf8("Начать аудио запись с воспроизведением"));
    EXPECT_EQ(w->workMode, app::WorkDuplex); // the switch does not stop the run
    soundtest::advance(200);
    w->tDuplexClick();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(w->workMode, app::WorkReady);
    EXPECT_EQ(
        w->tDuplex->toolTip(),
        QString::fromUtf8(
            "Начать аудио запись с воспроизведением (Full Duplex mode - режим говори и слушай)"));
    EXPECT_EQ(w->mDuplex->text(), QString::fromUtf8("Начать аудио запись с воспроизведением"));
}

TEST_F(LanguageWhileRunning, AProcessingRunShowsTheIdleStartTextsAndFinishes) {
    // The switch arrives while the run processes its pending messages between
    // two frames, as a choice in the configuration window would.
    switchTo(0);
    bool switched = false;
    QString hintWhileRunning;
    QTimer::singleShot(0, [&] {
        switched = true;
        hintWhileRunning = w->bStart->toolTip();
        switchTo(1);
    });
    w->openAndClean(QString::fromStdString(apptest::bundledSample()));
    ASSERT_TRUE(switched);
    EXPECT_EQ(hintWhileRunning, "Stop process of noise cancellation");
    EXPECT_TRUE(w->processStopped);
    EXPECT_EQ(w->bStart->text(), "START");
    EXPECT_EQ(w->bStart->toolTip(), QString::fromUtf8("Начать процесс шумоподавления"));
    EXPECT_TRUE(w->labelDTime->text().startsWith(QString::fromUtf8(" Время обработки: ")));
    // The run went on to the end: the whole signal is cleaned.
    EXPECT_GT(w->changedLength, w->origLength - 2048);
}

} // namespace
