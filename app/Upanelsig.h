#pragma once
// The main window: tool bands, the file list, the four waveform panes with
// their zoom and scroll controls, three status bars, menus, tray icon and
// timers. It holds the signal store as its fields. Handlers are named after
// their control and event; those of each subsystem live in that subsystem's
// window/ folder, the lifecycle ones here.

#include "app/ConfigLink.h"
#include "app/SignalStore.h"
#include "app/Widgets.h"
#include "audio/DuplexSession.h"
#include "display/Spectrogram.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <string>

namespace app {

class TFPanelSignal : public QMainWindow, public SignalStore {
    Q_OBJECT
  public:
    explicit TFPanelSignal(QWidget* parent = nullptr);
    ~TFPanelSignal() override;

    // ---- Cool bar: bands and their tool bars, in order.
    QWidget* CoolBar1 = nullptr;
    QToolBar* ToolBar2 = nullptr; // "Original:"
    QLabel* Image1 = nullptr;     // logo; a click opens the about window
    QToolBar* ToolBar7 = nullptr; // "Process:"
    QToolBar* ToolBar4 = nullptr; // "Control:"
    QToolBar* ToolBar1 = nullptr; // "Changed:"
    QToolBar* ToolBar6 = nullptr; // "Auto:"

    QToolButton *tOpen, *tSave, *tSaveSelection, *tCut, *tPlayAll, *tPlayLoopedAll, *tRecord,
        *tStop, *tDuplex, *tOptions;
    QToolButton *bInitSV, *bStart, *bEnabledPr, *tOptions2;
    QCheckBox *SelectClearSpeech, *UseFFTEQ;
    QToolButton *tOpenNew, *tSaveNew, *tSaveNewSelection, *tCutNew, *tPlayNewAll,
        *tPlayLoopedNewAll;
    QToolButton *bAuto, *tSetDirSaveNew, *ToolButton14;

    // ---- File list panel.
    QWidget* PanelFileList = nullptr;
    QComboBox* DriveComboBox1 = nullptr;
    QTreeView* DirList = nullptr;
    QListView* FileList = nullptr;
    QFileSystemModel* dirModel = nullptr;
    QFileSystemModel* fileModel = nullptr;
    QSplitter* fileListSplitter = nullptr; // between DirList and FileList
    // The directory the program last moved the tree to, until the user moves
    // the tree: the model reads directories in the background, and rows read
    // after the move would push it out of view.
    QString treeTarget;
    bool treeShowing = false;       // the program, not the user, is moving the tree
    bool treeFollowQueued = false;  // a move back to treeTarget is on its way
    QSplitter* Splitter3 = nullptr; // between the file list and the panes

    // ---- Panes.
    QWidget* PanelSignal = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QWidget* scrollContent = nullptr;
    QToolBar *ToolBar8, *ToolBar13, *ToolBar10, *ToolBar14;
    gui::PaintBox *grSig0, *grSig1, *grSigNew0, *grSigNew1;
    QToolButton *tPlay0, *tPlay1, *tPlayNew0, *tPlayNew1;
    QToolButton *tSaveL, *tSaveR, *tSaveNewL, *tSaveNewR, *tOpenNewR;
    QToolButton *tCutL, *tCutR, *tCutNewL, *tCutNewR;
    QLabel *LabelOrigL, *LabelOrigR, *LabelChangL, *LabelChangR;
    QCheckBox *ShowSTATEVAD, *ShowClearSig;
    QToolButton* tSpectrogram = nullptr;
    // Spectrograms of original L, R and changed L, R, kept between refreshes.
    display::SpectrogramPane spectrograms[4];
    QLabel* labelDTime = nullptr;
    QToolButton *SpeedButton5, *SpeedButton2, *bMixNew;

    QWidget* Panel4 = nullptr;
    gui::UpDown* Zoom_Y = nullptr;
    QLabel* LabZoomY = nullptr;
    QScrollBar* ScrollSignal = nullptr;
    gui::UpDown* Zoom_X = nullptr;
    QLabel* LabZoomX = nullptr;
    QToolButton *SpeedButton1, *SpeedButton4, *ZoomOut, *ZoomOutY;

    // ---- Status bars.
    StatusBar* Status0 = nullptr;
    StatusBar* Status1 = nullptr;
    StatusBar* StatusDir1 = nullptr;

    // ---- Menus.
    QAction *mOpen, *mSaveAs, *mSaveSelection, *mOpenChanged, *mSaveChangedAs,
        *mSaveChangedSelection, *mClose;
    QAction *mOptions, *mCutOriginal, *mCutClear;
    QAction* ShowFileList = nullptr;
    QAction* mSpectrogram = nullptr;  // View: the panes as spectrograms (also tSpectrogram)
    QAction* mLogFrequency = nullptr; // View: spectrogram rows by octaves
    QAction* mAbout = nullptr;

    // ---- Tray icon and its pop-up menu.
    QSystemTrayIcon* TrayIcon1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction *mDuplex, *mStatusProcess, *mShowParameters, *mSelectClearSpeech, *mExit;

    // ---- Full duplex: its streams, buffers and FIFOs, and its output
    // device record under the name the commands know.
    audio::DuplexSession duplex;
    audio::WaveDevice& duplexDevice = duplex.output;

    // ---- Timers (disabled at start).
    QTimer *TimerRec, *TimerPlayPos, *TimerSV, *TimerRecord, *TimerPlay;

    // ---- Lifecycle (this file).
    void FormCreate();
    void FormActivate();
    void FormDeactivate();
    void FormClose();
    void FormDestroy();
    void setWorkMode(int mode);
    void FormKeyDown(int key);
    void ShowFileListClick();
    void ToolBar4DblClick();
    void tOptionsClick();
    void ToolButton14Click();
    void tOptions2Click();
    void TrayIcon1Click();
    void Close1Click();
    void About1Click();

    // The controls setWorkMode enables and disables.
    QList<QObject*> signalCommands() const;
    // The file named on the command line, opened once the window is up.
    std::string startupFile;
    void openStartupFile();

    // ---- Sound files: open and save.
    QString openDialogFileName; // what the open dialog shows next
    QString saveDialogFileName; // what the save dialog shows next
    // Opens a file as the original signal and cleans it, as a click in the file list does.
    void openAndClean(const QString& path);
    // Reads a file of the list as the original signal without cleaning it
    // and without any message box; false with the reason when it cannot be
    // read or is longer than the original signal holds, the signals then
    // left as they were.
    bool openListFileQuietly(const QString& path, std::string& reason);
    void tOpenClick();
    void tSaveClick();
    void tSaveSelectionClick();
    void tOpenNewClick();
    void tOpenNewRClick();
    void tSaveNewClick();
    void tSaveNewSelectionClick();
    void tSaveLClick();
    void tSaveRClick();
    void tSaveNewLClick();
    void tSaveNewRClick();
    void FileListClick();

    // ---- Playback and recording.
    void tPlayAllClick();
    void tPlayLoopedAllClick();
    void tPlayNewAllClick();
    void tPlayLoopedNewAllClick();
    void tPlay0Click();
    void tPlay1Click();
    void tPlayNew0Click();
    void tPlayNew1Click();
    void tRecordClick();
    void tStopClick();
    void tDuplexClick();
    void stopPlayback();
    void TimerRecTimer();
    void TimerPlayPosTimer();
    void TimerSVTimer();
    void TimerRecordTimer();
    void TimerPlayTimer();
    // Completions of the wave devices (messages 957 and 960).
    void waveOutDone(WAVEHDR* header);
    void waveInData(WAVEHDR* header);
    // Stops every timer and closes every sound device (the window goes away).
    void closeSoundDevices();

    // ---- Processing.
    void bStartClick();
    void bInitSVClick();
    void bEnabledPrClick();
    void SelectClearSpeechClick();
    void mSelectClearSpeechClick();
    void UseFFTEQClick();
    void SpeedButton2Click();
    void SpeedButton5Click();
    void bMixNewClick();
    void bAutoClick();
    void tSetDirSaveNewClick();

    // ---- Display and editing.
    void PanelSignalResize();
    void ScrollBox1Resize();
    void ShowSTATEVADClick();
    void ShowClearSigClick();
    void SpectrogramClick();
    void grSig0Paint(QPainter& p);
    void grSig1Paint(QPainter& p);
    void grSigNew0Paint(QPainter& p);
    void grSigNew1Paint(QPainter& p);
    void grSig0MouseDown(Qt::MouseButton button, int x, int y);
    void grSig1MouseDown(Qt::MouseButton button, int x, int y);
    void grSigNew0MouseDown(Qt::MouseButton button, int x, int y);
    void grSigNew1MouseDown(Qt::MouseButton button, int x, int y);
    void grSig0MouseMove(Qt::MouseButtons buttons, int x, int y);
    void grSig1MouseMove(Qt::MouseButtons buttons, int x, int y);
    void grSigNew0MouseMove(Qt::MouseButtons buttons, int x, int y);
    void grSigNew1MouseMove(Qt::MouseButtons buttons, int x, int y);
    void Zoom_XClick(bool next);
    void Zoom_YClick(bool next);
    void ZoomOutClick();
    void ZoomOutYClick();
    void SpeedButton1Click();
    void SpeedButton4Click();
    void tCutClick();
    void tCutNewClick();
    void tCutLClick();
    void tCutRClick();
    void tCutNewLClick();
    void tCutNewRClick();

    // Gives the keyboard back to ScrollSignal once the window is up and idle.
    void applyFocusRule();
    // True while bStartClick's run is under way, including its finishing steps.
    bool runActive = false;
    // True when the last run was stopped before the end of the signal.
    bool lastRunStopped = false;

    // The status bar of a signal: panel 1 its format, panel 2 its length
    // in milliseconds and samples.
    void showFormatText(StatusBar* bar, uint32_t rate, uint32_t channels, uint32_t bits);
    void showLengthText(StatusBar* bar, int32_t length);
    void showSignalStatus(StatusBar* bar, uint32_t rate, uint32_t channels, uint32_t bits,
                          int32_t length);
    // The scroll bar's range for a signal of `length` samples (one step per
    // ten samples), set without moving the panes.
    void setScrollLength(int32_t length);

    // Every caption and hint of the window for language 0 (English) or 1
    // (Russian); any other index changes nothing. The record, duplex and
    // START buttons get their idle texts whatever they are doing.
    void applyLanguage(int languageIndex);
    // Texts that both applyLanguage and the commands write. A language other
    // than 0 or 1 keeps the texts, except bStart's caption (the same in both).
    // bStart's caption and hint, for a run under way or not:
    void setStartTexts(bool running, int languageIndex);
    // bEnabledPr's caption and hint and mStatusProcess's caption, after
    // whether bEnabledPr is down:
    void setProcessSwitchTexts(int languageIndex);
    // tRecord's hint, and mDuplex's caption, for a recording or duplex run
    // under way or not:
    void setRecordHint(bool recording, int languageIndex);
    void setDuplexMenuText(bool running, int languageIndex);

  protected:
    bool event(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void buildCoolBar();
    void buildFileList();
    void buildPanes();
    void buildStatusBars();
    void buildMenus();
    void buildTray();
    void buildTimers();
    QToolButton* toolButton(QToolBar* bar, const char* name, const QString& hint, int image,
                            void (TFPanelSignal::*handler)());
    QToolButton* textButton(QToolBar* bar, const char* name, const QString& caption,
                            const QString& hint, void (TFPanelSignal::*handler)());
    void setDriveFromDirectory(const QString& dir);

  public:
    void DirListChange(const QString& dir);

  private:
    bool destroyed_ = false;
    bool closing_ = false;
    // Re-labels the window whenever the configuration window applies a language.
    LanguageFollower languageFollower_{[this](int languageIndex) { applyLanguage(languageIndex); }};
};

extern TFPanelSignal* FPanelSignal;

} // namespace app
