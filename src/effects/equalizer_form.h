#pragma once
// The equalizer window: a stay-on-top tool window with one slider per band of
// EqBandTable, -15..+15 dB in whole decibels. It keeps the band values for the
// cutter page, tells every change through OnBandChange, offers the presets of
// the preset folder, loads and saves preset files and keeps a user default in
// the preferences. Closing it only hides it. GUI thread only; OnBandChange is
// called synchronously on it.

#include "effects/eq_preset.h"
#include "effects/eq_preset_manager.h"

#include <QWidget>
#include <array>
#include <functional>
#include <string>

class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QToolButton;
class TPreferenceDataModule;

class TEqualizerForm : public QWidget {
    Q_OBJECT

public:
    // sender: the slider that moved; index: band 0..9; value: dB.
    using TBandChangeEvent = std::function<void(QObject* sender, int index, int value)>;

    // Lists the presets of presetFolder and opens with the default bands of
    // preferences, which must outlive the window.
    TEqualizerForm(TPreferenceDataModule& preferences, std::string presetFolder, QWidget* parent = nullptr);

    // Each value clamped to -15..15. Every slider that moves updates its
    // label and calls OnBandChange; one that stays calls nothing.
    void SetBands(const std::array<int, 10>& values);
    void GetBands(std::array<float, 10>& values) const;
    // Replaces the callback; an empty one stops the calls.
    void SetOnBandChange(TBandChangeEvent callback);
    // The band value a slider stands for: 15 at the top, -15 at the bottom.
    static int BandValue(const QSlider* slider);

    void LoadDefault();
    // The stored default of the band with this centre frequency, clamped to -15..15.
    int ReadDefaultBand(int centreHz);
    void WriteDefaultBand(int centreHz, int value);
    void ZeroAll();
    // Refills the preset list from the preset folder, the empty item first and selected.
    void LoadPresetList();

    // False until the cutter page has placed the window once.
    bool Positioned = false;

private:
    void FormCreate();
    void CreateBandControls();
    void CreateFixedControls();
    void SelectNoPreset();

    void BandTrackChange(QSlider* sender);
    void cbPresetsChange(int index);
    void btnZeroAllClick();
    void miLoadFromFileClick();
    void miSaveToFileClick();
    void miSaveAsDefaultClick();
    void miLoadDefaultClick();

    TPreferenceDataModule& m_preferences;
    TBandChangeEvent OnBandChange;
    TEqPresetArray Presets; // item k of cbPresets is entry k - 1
    TEqPresetManager PresetManager;

    std::array<QLabel*, 10> GainLabels {};
    std::array<QSlider*, 10> GainTracks {};
    QToolButton* btnLoad;
    QMenu* popLoad;
    QToolButton* btnSave;
    QMenu* popSave;
    QPushButton* btnZeroAll;
    QFrame* Panel1;
    QLabel* Label1;
    QComboBox* cbPresets;
    QLabel* Label2;
};
