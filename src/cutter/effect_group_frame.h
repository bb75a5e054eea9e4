#pragma once
// The cutter page's effect group: the master switch checkEffect on the
// group's caption line, the gain, tempo, fade and equalizer switches with
// their amounts, and the effect preview button. It keeps the settings and
// copies them into an effect manager; while an effect preview plays, the
// live manager set by the page follows gain, tempo and equalizer changes at
// once. The page runs the preview itself (btnEffectPlay's clicks).
//
// GUI thread only.

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TEffectManager;
class TEqualizerForm;

class TEffectGroupFrame : public QWidget {
    Q_OBJECT

public:
    // page: the cutter page, which the equalizer window is first placed by.
    explicit TEffectGroupFrame(QWidget& page);
    // Takes this group's callback off the equalizer window.
    ~TEffectGroupFrame() override;

    // The equalizer window shown and hidden by checkEQ; none (nullptr)
    // leaves the bands of a manager as they are.
    void SetEqualizerWindow(TEqualizerForm* window);
    // The manager of the playing effect preview, or nullptr when there is no
    // effect player. It outlives the setting.
    void SetLiveManager(TEffectManager* manager) { m_live = manager; }

    // Enables the switches and the preview button, the amounts of the
    // checked switches, and shows the equalizer window when on and checkEQ.
    void EnableEffectControls(bool On);
    // Copies every setting into Manager, starting with the master switch.
    void FillEffectManager(TEffectManager& Manager) const;
    // The equalizer window's ten bands into Manager's EqBands.
    void CopyEqBands(TEffectManager& Manager) const;
    float SelectedGainDb() const;
    float SelectedTempoPercent() const;
    // The equalizer window's band-change callback.
    void EqBandChanged(QObject* Sender, int Index, int Value);

    // The switch stays disabled until a source is loaded.
    QCheckBox* checkEffect;
    QGroupBox* gboxEffect;
    QCheckBox* checkGain;
    QComboBox* cbGain;
    QLabel* lbGain;
    QCheckBox* checkTempo;
    QComboBox* cbTempo;
    QLabel* lbTempo;
    QCheckBox* checkFadeIn;
    QComboBox* cbFadeIn;
    QLabel* lbFadeIn;
    QCheckBox* checkFadeOut;
    QComboBox* cbFadeOut;
    QLabel* lbFadeOut;
    QCheckBox* checkEQ;
    // Its clicks are the page's.
    QPushButton* btnEffectPlay;

private:
    void CreateControls();
    void ConnectEvents();

    void checkEffectClick();
    void checkGainClick();
    void checkTempoClick();
    void checkFadeInClick();
    void checkFadeOutClick();
    void checkEQClick();
    void cbGainChange();
    void cbTempoChange();

    QWidget& m_page;
    QPointer<TEqualizerForm> m_equalizer;
    TEffectManager* m_live = nullptr;
};
