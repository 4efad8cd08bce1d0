#pragma once
// The about window: a borderless picture window with the web address and the
// rights notice. It serves as the start-up splash and as the about box; one
// instance lives from start-up to exit.

#include <QWidget>

class QFrame;
class QLabel;

namespace config {

// The web site for a language (0 English, 1 Russian; others give English).
QString makerWebSite(int languageIndex);
// The one-line rights notice for a language.
QString rightsNotice(int languageIndex);

class TFAbout : public QWidget {
    Q_OBJECT
  public:
    // Sets FAbout to this window while it lives (when FAbout is null), so
    // windows created later reach it through the global.
    explicit TFAbout(QWidget* parent = nullptr);
    ~TFAbout() override;

    QFrame* Panel1;
    QLabel* Image1;
    QLabel* Lab_www;
    QLabel* labCopyright;

  public slots:
    void Image1Click();      // hides the window
    void Image1MouseMove();  // the address turns black
    void Lab_wwwMouseMove(); // the address turns red
    void Lab_wwwClick();     // opens the address in the browser
    // Captions and hint for language 0 or 1; any other index changes nothing.
    void applyLanguage(int languageIndex);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void placeLabels();
};

extern TFAbout* FAbout;

} // namespace config
