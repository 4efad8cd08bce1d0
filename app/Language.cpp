// The main window's captions and hints in the interface language, written
// in one fixed order. A few stay English in both languages. The texts that
// commands also change while they run (bStart, bEnabledPr, tRecord, mDuplex)
// come from the setters those commands use, declared beside applyLanguage.

#include "app/Upanelsig.h"

#include <QMenu>

namespace app {

namespace {

// The menu-bar entry of the menu that holds `item`.
QAction* menuOf(QAction* item) {
    for (QObject* o : item->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(o))
            return menu->menuAction();
    return nullptr;
}

void setMenuCaption(QAction* item, const QString& caption) {
    if (QAction* entry = menuOf(item))
        entry->setText(caption);
}

// The caption of a cool-bar band: the label at the head of its tool bar.
void setBandCaption(QToolBar* band, const QString& caption) {
    if (auto* label = band->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        label->setText(caption);
}

} // namespace

void TFPanelSignal::applyLanguage(int lang) {
    if (!config::isLanguage(lang))
        return;
    auto t = [lang](const char* en, const char* ru) { return config::languageText(lang, en, ru); };
    const QString play = t("Play", "Проиграть");
    const QString cut = t("Cut", "Вырезать фрагмент");
    const QString saveAll = t("Save all", "Сохранить все");
    const QString saveLeft =
        t("Save signal from the Left-channel", "Сохранить сигнал в файл из Левого канала");
    const QString saveRight =
        t("Save signal from the Right-channel", "Сохранить сигнал в файл из Правого канала");
    const QString paneHint =
        t("Click Left button for setting cursor position\nor Click Right button for playback",
          "Нажмите Левую кнопку для задания позиции курсора\n"
          "или нажмите Правую кнопку для воспроизведения");

    setMenuCaption(mOpen, t("&File", "&Файл"));
    mOpen->setText(t("Open file as original", "Открыть файл, как исходный"));
    mSaveAs->setText(t("Save original signal as...", "Сохранить исходный сигнал как ..."));
    mSaveSelection->setText(t("Save Selection of original signal...",
                              "Сохранить выделенный фрагмент исходного сигнала..."));
    mOpenChanged->setText(t("Open file as changed...", "Открыть файл, как измененный..."));
    mSaveChangedAs->setText(t("Save changed signal as ...", "Сохранить измененный сигнал как ..."));
    mSaveChangedSelection->setText(t("Save Selection of changed signal...",
                                     "Сохранить выделенный фрагмент измененного сигнала..."));
    mClose->setText(t("Close", "Закрыть программу"));
    setMenuCaption(mOptions, t("&Edit", "&Редактировать"));
    mOptions->setText(t("Options", "Настройки"));
    mCutOriginal->setText(
        t("Cut selection of original signal", "Вырезать фрагмент исходного сигнала"));
    mCutClear->setText(
        t("Cut selection of changed signal", "Вырезать фрагмент измененного сигнала"));
    setMenuCaption(ShowFileList, t("&View", "&Просмотр"));
    ShowFileList->setText(
        t("Show field with original files list", "Показать область со списком исходных файлов"));
    mSpectrogram->setText(t("Spectrogram", "Спектрограмма"));
    mSpectrogram->setToolTip(
        t("Show the panes as spectrograms", "Показать сигналы в виде спектрограмм"));
    mLogFrequency->setText(t("Logarithmic frequency scale", "Логарифмическая шкала частот"));
    setMenuCaption(mAbout, t("&Help", "&Помощь"));
    mAbout->setText(t("About...", "О программе..."));

    // The band texts are English in both languages; the logo band has none.
    setBandCaption(ToolBar2, "Original:");
    setBandCaption(ToolBar7, "Process:");
    setBandCaption(ToolBar4, "Control:");
    setBandCaption(ToolBar1, "Changed:");
    setBandCaption(ToolBar6, "Automat:");

    tOpen->setToolTip(t("Open a sound file", "Открыть звуковой файл"));
    tSave->setToolTip(saveAll);
    tSaveSelection->setToolTip(
        t("Save selection of original signal", "Сохранить выделенный фрагмент исходного сигнала"));
    tCut->setToolTip(
        t("Cut selection of original signal", "Вырезать выделенный фрагмент исходного сигнала"));
    tPlayAll->setToolTip(t("Play original signal", "Проиграть исходный сигнал"));
    tPlayLoopedAll->setToolTip(
        t("Play Looped original signal", "Воспроизводить циклически исходный сигнал"));
    setRecordHint(false, lang);
    tDuplex->setToolTip(
        t("Start audio recording with Playback (Full duplex mode)",
          "Начать аудио запись с воспроизведением (Full duplex mode - режим говори и слушай)"));
    tOptions->setToolTip(t("Show System Configuration", "Показать конфигурацию системы"));
    setStartTexts(false, lang);
    setProcessSwitchTexts(lang);
    tOpenNew->setToolTip(t("Open sound file", "Открыть звуковой файл"));
    tSaveNew->setToolTip(saveAll);
    tSaveNewSelection->setToolTip(
        t("Save selection of changed signal", "Сохранить выделенный фрагмент измененного сигнала"));
    tCutNew->setToolTip(
        t("Cut selection of changed signal", "Вырезать выделенный фрагмент измененного сигнала"));
    tPlayNewAll->setToolTip(t("Play changed signal", "Проиграть измененный сигнал"));
    tPlayLoopedNewAll->setToolTip(
        t("Play Looped changed signal", "Воспроизводить циклически измененный сигнал"));
    bAuto->setToolTip(t("Launch automatic process of noise cancellation",
                        "Запустить автоматический процесс шумоподавления для группы файлов"));
    tSetDirSaveNew->setToolTip(t("Set directory for saving of results files",
                                 "Установить директорию для сохранения измененных файлов"));
    tOptions2->setToolTip(
        t("Show parameters of noise cancellation", "Показать настройки шумоподавления"));
    SelectClearSpeech->setText(t("Select a clearing signal", "Выделять очищенный сигнал"));
    SelectClearSpeech->setToolTip(t("Select a clearing signal else signal with background noises",
                                    "Выделять очищенный сигнал иначе сигнал с окружающими шумами"));
    const QString equalizer = t("Use Graphic Equalizer", "Использовать графический эквалайзер");
    UseFFTEQ->setText(equalizer);
    UseFFTEQ->setToolTip(equalizer);
    DirList->setToolTip(t("Set directory with original sound files",
                          "Установить директорию для исходных звуковых файлов"));

    tPlay0->setToolTip(play);
    tSaveL->setToolTip(saveLeft);
    tCutL->setToolTip(cut);
    LabelOrigL->setText("  Original(L-channel)");
    ShowSTATEVAD->setText(t("Show VAD", "Показать VAD"));
    ShowClearSig->setText(t("Show Clearing signal", "Показать очищенный сигнал"));
    labelDTime->setText(t(" Time process: ", " Время обработки: "));
    grSig0->setToolTip(paneHint);

    tPlay1->setToolTip(play);
    tSaveR->setToolTip(saveRight);
    tCutR->setToolTip(cut);
    LabelOrigR->setText("  Original(R-channel)");
    grSig1->setToolTip(paneHint);

    tPlayNew0->setToolTip(play);
    tSaveNewL->setToolTip(saveLeft);
    tCutNewL->setToolTip(cut);
    LabelChangL->setText("  Changed(L-channel)");
    SpeedButton5->setText("Copy");
    SpeedButton5->setToolTip(t("Copy from Right-channel into Left-channel",
                               "Копировать из Правого канала в Левый канал"));
    grSigNew0->setToolTip(paneHint);

    tPlayNew1->setToolTip(play);
    tSaveNewR->setToolTip(saveRight);
    tCutNewR->setToolTip(cut);
    LabelChangR->setText("  Changed(R-channel)");
    SpeedButton2->setText("Copy");
    SpeedButton2->setToolTip(t("Copy from Left-channel into Right-channel",
                               "Копировать из Левого канала в Правый канал"));
    bMixNew->setText("Mix");
    bMixNew->setToolTip(
        t("To mix the Left and Right channels by using to the chosen mixing method.\n"
          "Result to keep into Right-channel.",
          "Микшировать Левый и Правый каналы используя выбранный метод.\n"
          "Результат микширования положить в Правый канал."));
    ToolButton14->setToolTip(t("Show system configuration for mixture",
                               "Показать конфигурацию системы для микширования"));
    SpeedButton1->setToolTip(t("Increase", "Увеличить"));
    SpeedButton4->setToolTip(t("Decrease", "Уменьшить"));
    ZoomOut->setText("Zoom Out");
    ZoomOut->setToolTip(t("Zoom Out for X/Y axis", "Убрать увеличение по X/Y осям"));
    ZoomOutY->setText("Zoom Out Y");
    ZoomOutY->setToolTip(t("Zoom Out vertically", "Убрать увеличение по вертикали"));
    grSigNew1->setToolTip(paneHint);

    Status0->setToolTip(t("Status of Original signal", "Статус исходного сигнала"));
    Status1->setToolTip(t("Status of Changed signal", "Статус измененного сигнала"));
    StatusDir1->setToolTip(t("Double click to reset directory for saving of the changed files",
                             "Дважды кликните для переустановки директории с измененными файлами"));

    setDuplexMenuText(false, lang);
    mShowParameters->setText(t("Show parameters", "Показать параметры"));
    mSelectClearSpeech->setText(t("Select the clearing signal", "Выделять очищенный сигнал"));
    mExit->setText(t("Exit", "Выход"));
}

} // namespace app
