#pragma once
// The configuration window: every processing and device setting as a live
// control that the other windows read at the moment of use, plus the fields
// that keep the main window's state between runs. The window reads SV.ini
// from the current directory when it is created and writes it when it is
// destroyed.

#include "config/Equalizer.h"
#include "config/Language.h"
#include "config/Settings.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPainter;
class QPushButton;
class QSlider;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace gui {
class PaintBox;
}
namespace gui {
class RadioGroup;
}

namespace config {

// Settings without a control of their own. The main window copies its state
// in and out of the window fields; the equalizer curve lives here too.
struct SettingsFields {
    QString iniPath;              // full path of the settings file
    int32_t recSampleRate = 8000; // Hz, from SRate (recording and duplex)
    int32_t recChannels = 1;      // 1 or 2, from nChannels
    int32_t eqPointCount = config::eq::kPointCount;
    float eqGains[config::eq::kCapacity]; // linear gains, 1.0 = unchanged; never stored
    bool useEqualizer = false;            // the main window's UseFFTEQ
    bool showClearSignal = true;          // the main window's ShowClearSig
    bool showFileList = true;             // the main window's file list is shown
    bool processEnabled = true;           // the main window's bEnabledPr is down
    int32_t winLeft = 0, winTop = 0, winWidth = 0, winHeight = 600;
    int32_t fileListWidth = 165;
    QString outputDir;         // results of the automatic batch
    int32_t languageIndex = 0; // 0 English, 1 Russian

    SettingsFields();
};

// Routines that re-label a window for a language. cboxLangChange calls the
// configuration window's own, then the about window's, then these in the
// order they were registered. Register before the configuration window is
// created to be labelled at start-up. Returns an id for unregistering.
int registerLanguageListener(std::function<void(int languageIndex)> apply);
void unregisterLanguageListener(int id);

class TFconfAS : public QWidget, public SettingsFields {
    Q_OBJECT
  public:
    // Builds the window, sets FconfAS to it (when FconfAS is null) and runs
    // FormCreate, which reads the settings file of the current directory.
    explicit TFconfAS(QWidget* parent = nullptr);
    // Runs FormDestroy, which writes the settings file.
    ~TFconfAS() override;

    // Suppression limit in dB: TBardB position - maximum, -100 ... 0.
    int limitDb() const;
    // The values of the controls and fields as stored in the file.
    config::Settings currentSettings() const;

    // Tool bar above the tabs.
    QToolBar* ToolBar1;
    QToolButton* SButDefaut;
    QToolButton* SButClose;
    QToolButton* SButCancel;
    QComboBox* cboxLang;
    QTabWidget* PageControl1;

    // "Audio Record/PlayBack".
    QWidget* TabSheet1;
    QLabel* Label2;
    QComboBox* comboBoxRecDevices;
    QLabel* Label3;
    QComboBox* comboBoxPlayDevices;
    gui::RadioGroup* SRate;
    gui::RadioGroup* nChannels;
    QLabel* Lab_www;
    QLabel* Image1; // opens the about window

    // "PostProcessing".
    QWidget* TabSheet4;
    QCheckBox* AutoMix;
    QCheckBox* MethodMix;
    QPushButton* DefaultPostProcess;
    QLabel* ImageMixLR;
    QLabel* ImageMixRL;
    QLabel* ImageMix; // neutral picture, hidden once MethodMixClick ran

    // "Silvane".
    QWidget* TabSheet2;
    gui::RadioGroup* KindSubst;
    QLabel* Label1;
    QSlider* TBardB;
    QLabel* LabMul;
    QToolButton* DefaultLimitSuppres;
    QLabel* DefaultNoise;
    QDoubleSpinBox* pNoise;
    QLabel* DefaultMusicNoise;
    QDoubleSpinBox* pMusicNoise;
    QCheckBox* SelectClearSpeech;
    QPushButton* DefaultSV;

    // "Graphic Equalizer".
    QWidget* TabSheet3;
    gui::PaintBox* PBox1;
    QPushButton* DefaultGEQ;
    // The last point the mouse gave in PBox1.
    int32_t eqCursorIndex = 0;
    double eqCursorValue = 0.0;

  public slots:
    void FormCreate();
    void FormDestroy();
    void FormActivate();
    void SRateClick();
    void nChannelsClick();
    void AutoMixClick();
    void MethodMixClick();
    void DefaultPostProcessClick();
    void TBardBChange();
    void DefaultLimitSuppresClick();
    void DefaultNoiseDblClick();
    void DefaultMusicNoiseDblClick();
    void DefaultSVClick();
    void SButDefautClick();
    void SButCancelClick();
    void SButCloseClick();
    void cboxLangChange();
    void Lab_wwwClick();
    void Lab_wwwMouseMove();
    void TabSheet1MouseMove();
    void Image1Click();
    void DefaultGEQClick();
    void PBox1MouseDown(Qt::MouseButton button, int x, int y);
    void PBox1MouseMove(Qt::MouseButtons buttons, int x, int y);
    void PBox1Paint(QPainter& p);
    // Captions and hints for language 0 or 1; any other index only sets the
    // caption "System configuration".
    void applyLanguage(int languageIndex);

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void buildToolBar();
    void buildAudioPage();
    void buildPostProcessingPage();
    void buildEnginePage();
    void buildEqualizerPage();
    void fillOutputDevices();
    void fillInputDevices();
    void pbox1Mouse(bool store, int x, int y);

    // What Cancel restores: the values at the last activation.
    struct Remembered {
        int playDevice = -1, recDevice = -1, sampleRate = 0, channels = 0, method = 0;
        int limitPosition = 0;
        double noiseRate = 0, musicalRate = 0;
    } remembered_;
    bool written_ = false;
};

extern TFconfAS* FconfAS;

} // namespace config
