#pragma once
// The main window: the page control with the cutter, joiner, help and about
// pages. Creating it initialises the cutter page, which opens the audio
// output; closing it frees the players and the audio output. Local files
// dropped on it become the cutter page's source. GUI thread only.

#include "cutter/widget_cut_host.h"

#include <QPointer>
#include <QWidget>

class QPlainTextEdit;
class QTabWidget;
class TCutterFrame;
class TCutterProgressForm;
class TEqualizerForm;

inline constexpr const char* ProgramVersion = "6.5";

class TMainForm : public QWidget {
    Q_OBJECT

public:
    // progressForm: the cut's progress window; it outlives the main window.
    explicit TMainForm(TCutterProgressForm& progressForm);

    // False when the creation handler failed; showing the window then ends
    // the program.
    bool Initialised() const { return m_initialised; }
    TCutterFrame* CutterFrame() const { return CutterFrame1; }
    TWidgetCutHost& CutHost() { return m_cutHost; }
    // The equalizer window of the cutter page, disabled with this window
    // during a cut; it may be freed first.
    void SetEqualizerWindow(TEqualizerForm* window);

protected:
    // Sets the caption, or ends the event loop when creation failed.
    void showEvent(QShowEvent* event) override;
    // Frees the players and the audio output first and hides the equalizer
    // window, so the program ends. Refused only while the window is
    // disabled, as during a cut.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreatePages();
    void FormCreate();

    TWidgetCutHost m_cutHost;
    QPointer<TEqualizerForm> m_equalizer;
    bool m_initialised = false;
    QTabWidget* JvPageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet4;
    QWidget* TabSheet2;
    QWidget* TabSheet3;
    TCutterFrame* CutterFrame1;
    QPlainTextEdit* Memo1;
};
