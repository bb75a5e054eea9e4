#include "effects/equalizer_form.h"

#include "app/preference_data_module.h"
#include "app/widget_error_report.h"
#include "audio/dialogs_service.h"
#include "controls/object_name.h"
#include "effects/effect_settings.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <algorithm>
#include <exception>
#include <utility>

namespace {

constexpr const char* PresetFilter = "均衡器配置 (*.zveq)|*.zveq";

int BandX(int band)
{
    return 10 + 26 * band;
}

// 70, 180, …, then whole thousands with "k": 1k, 3k, …, 16k.
QString FrequencyText(int hz)
{
    return hz < 1000 ? QString::number(hz) : QString::number(hz / 1000) + QLatin1Char('k');
}

std::string DefaultBandPath(int centreHz)
{
    return "EqDefault\\f" + std::to_string(centreHz);
}

} // namespace

TEqualizerForm::TEqualizerForm(TPreferenceDataModule& preferences, std::string presetFolder, QWidget* parent)
    : QWidget(parent,
        Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
            | Qt::WindowCloseButtonHint)
    , m_preferences(preferences)
    , PresetManager(std::move(presetFolder))
{
    setObjectName(QStringLiteral("EqualizerForm"));
    setWindowTitle(QStringLiteral("音调均衡器"));
    // Closing hides the window; the program lives on with its main window.
    setAttribute(Qt::WA_QuitOnClose, false);
    QFont font;
    font.setFamilies({ QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Droid Sans Fallback") });
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(409, 207);
    CreateFixedControls();
    FormCreate();
}

void TEqualizerForm::FormCreate()
{
    CreateBandControls();
    LoadPresetList();
    LoadDefault();
}

void TEqualizerForm::CreateFixedControls()
{
    popLoad = Named(new QMenu(this), QStringLiteral("popLoad"));
    QAction* miLoadFromFile
        = Named(popLoad->addAction(QStringLiteral("从文件载入")), QStringLiteral("miLoadFromFile"));
    QAction* miLoadDefault
        = Named(popLoad->addAction(QStringLiteral("默认")), QStringLiteral("miLoadDefault"));
    btnLoad = Named(new QToolButton(this), QStringLiteral("btnLoad"));
    btnLoad->setText(QStringLiteral("载入(&L)"));
    btnLoad->setGeometry(320, 16, 73, 25);
    btnLoad->setPopupMode(QToolButton::MenuButtonPopup);
    btnLoad->setMenu(popLoad);

    popSave = Named(new QMenu(this), QStringLiteral("popSave"));
    QAction* miSaveToFile
        = Named(popSave->addAction(QStringLiteral("保存到文件")), QStringLiteral("miSaveToFile"));
    QAction* miSaveAsDefault
        = Named(popSave->addAction(QStringLiteral("默认")), QStringLiteral("miSaveAsDefault"));
    btnSave = Named(new QToolButton(this), QStringLiteral("btnSave"));
    btnSave->setText(QStringLiteral("保存(&S)"));
    btnSave->setGeometry(320, 56, 73, 25);
    btnSave->setPopupMode(QToolButton::MenuButtonPopup);
    btnSave->setMenu(popSave);

    btnZeroAll = Named(new QPushButton(QStringLiteral("全部清零"), this), QStringLiteral("btnZeroAll"));
    btnZeroAll->setGeometry(320, 136, 75, 25);

    Panel1 = Named(new QFrame(this), QStringLiteral("Panel1"));
    Panel1->setGeometry(0, height() - 41, width(), 41);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label1 = Named(new QLabel(QStringLiteral("预设:"), Panel1), QStringLiteral("Label1"));
    Label1->move(8, 14);
    Label1->adjustSize();
    cbPresets = Named(new QComboBox(Panel1), QStringLiteral("cbPresets"));
    cbPresets->setGeometry(46, 10, 187, 21);
    Label2 = Named(new QLabel(QStringLiteral("要消除爆音请点击预设列表"), Panel1), QStringLiteral("Label2"));
    Label2->move(248, 14);
    QPalette blue = Label2->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Label2->setPalette(blue);
    Label2->adjustSize();

    connect(btnLoad, &QToolButton::clicked, this, &TEqualizerForm::miLoadFromFileClick);
    connect(miLoadFromFile, &QAction::triggered, this, &TEqualizerForm::miLoadFromFileClick);
    connect(miLoadDefault, &QAction::triggered, this, &TEqualizerForm::miLoadDefaultClick);
    connect(btnSave, &QToolButton::clicked, this, &TEqualizerForm::miSaveToFileClick);
    connect(miSaveToFile, &QAction::triggered, this, &TEqualizerForm::miSaveToFileClick);
    connect(miSaveAsDefault, &QAction::triggered, this, &TEqualizerForm::miSaveAsDefaultClick);
    connect(btnZeroAll, &QPushButton::clicked, this, &TEqualizerForm::btnZeroAllClick);
    // Only a choice by the user applies a preset, also the one already shown.
    connect(cbPresets, &QComboBox::activated, this, &TEqualizerForm::cbPresetsChange);
}

void TEqualizerForm::CreateBandControls()
{
    for (int band = 0; band < static_cast<int>(EqBandTable.size()); ++band) {
        const QString number = QString::number(band);
        const int x = BandX(band);

        QLabel* gain = Named(new QLabel(QStringLiteral("0"), this), QStringLiteral("labelGain") + number);
        gain->setGeometry(x, 2, 24, 14);
        gain->setAlignment(Qt::AlignCenter);
        GainLabels[band] = gain;

        // Position 0 stands at the top; the arrow keys move the thumb the way they point.
        QSlider* track = Named(new QSlider(Qt::Vertical, this), QStringLiteral("trackGain") + number);
        track->setGeometry(x, 16, 24, 130);
        track->setRange(0, 30);
        track->setValue(15);
        track->setPageStep(1);
        track->setTickPosition(QSlider::NoTicks);
        track->setInvertedAppearance(true);
        track->setInvertedControls(true);
        GainTracks[band] = track;
        connect(track, &QSlider::valueChanged, this, [this, track] { BandTrackChange(track); });

        QLabel* hz = Named(
            new QLabel(FrequencyText(EqBandTable[band].CentreHz), this), QStringLiteral("labelHz") + number);
        hz->setGeometry(x, 146, 24, 14);
        hz->setAlignment(Qt::AlignCenter);
    }

    const int scaleX = BandX(static_cast<int>(EqBandTable.size()));
    const struct {
        const char* name;
        const char* text;
        int y;
    } scale[] = {
        { "labelMaxGain", "+15db", 22 },
        { "labelZeroGain", "+0db", 74 },
        { "labelMinGain", "-15db", 126 },
        { "labelTitleHz", "Hz", 146 },
    };
    for (const auto& mark : scale) {
        QLabel* label
            = Named(new QLabel(QString::fromLatin1(mark.text), this), QString::fromLatin1(mark.name));
        label->setGeometry(scaleX, mark.y, 36, 14);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
}

void TEqualizerForm::SetBands(const std::array<int, 10>& values)
{
    for (std::size_t band = 0; band < GainTracks.size(); ++band)
        GainTracks[band]->setValue(15 - std::clamp(values[band], -15, 15));
}

void TEqualizerForm::GetBands(std::array<float, 10>& values) const
{
    for (std::size_t band = 0; band < GainTracks.size(); ++band)
        values[band] = static_cast<float>(BandValue(GainTracks[band]));
}

void TEqualizerForm::SetOnBandChange(TBandChangeEvent callback)
{
    OnBandChange = std::move(callback);
}

int TEqualizerForm::BandValue(const QSlider* slider)
{
    return slider->maximum() - slider->value() - 15;
}

void TEqualizerForm::LoadDefault()
{
    std::array<int, 10> values {};
    for (std::size_t band = 0; band < values.size(); ++band)
        values[band] = ReadDefaultBand(EqBandTable[band].CentreHz);
    SetBands(values);
}

int TEqualizerForm::ReadDefaultBand(int centreHz)
{
    return std::clamp(m_preferences.ReadPrefInteger(DefaultBandPath(centreHz), 0), -15, 15);
}

void TEqualizerForm::WriteDefaultBand(int centreHz, int value)
{
    m_preferences.WritePrefInteger(DefaultBandPath(centreHz), value);
}

void TEqualizerForm::ZeroAll()
{
    SetBands({});
}

void TEqualizerForm::LoadPresetList()
{
    cbPresets->clear();
    cbPresets->addItem(QString());
    SelectNoPreset();
    PresetManager.ScanPresets(Presets);
    for (const TEqPreset& preset : Presets)
        cbPresets->addItem(QString::fromStdString(preset.Name));
}

void TEqualizerForm::SelectNoPreset()
{
    cbPresets->setCurrentIndex(0);
}

void TEqualizerForm::BandTrackChange(QSlider* sender)
{
    const auto found = std::find(GainTracks.begin(), GainTracks.end(), sender);
    if (found == GainTracks.end())
        return;
    const int band = static_cast<int>(found - GainTracks.begin());
    const int value = BandValue(sender);
    GainLabels[band]->setText(QString::number(value));
    if (OnBandChange)
        OnBandChange(sender, band, value);
}

void TEqualizerForm::cbPresetsChange(int index)
{
    if (index > 0 && static_cast<std::size_t>(index) <= Presets.size())
        SetBands(Presets[index - 1].Bands);
}

void TEqualizerForm::btnZeroAllClick()
{
    ZeroAll();
    SelectNoPreset();
}

void TEqualizerForm::miLoadFromFileClick()
{
    const std::string file = Dialogs().openFile("Open preset", PresetFilter);
    if (file.empty())
        return;
    TEqPreset preset;
    if (!PresetManager.LoadPreset(file, preset)) {
        Dialogs().message("打开失败");
        return;
    }
    SetBands(preset.Bands);
    SelectNoPreset();
}

void TEqualizerForm::miSaveToFileClick()
{
    const std::string file = Dialogs().saveFile({ "Save preset", PresetFilter, "zveq", "", "" });
    if (file.empty())
        return;
    TEqPreset preset;
    for (std::size_t band = 0; band < GainTracks.size(); ++band)
        preset.Bands[band] = BandValue(GainTracks[band]);
    // Reported here: an error must not unwind through the menu's and the
    // button's code, which is built without exception support and would be
    // left in the middle of its click.
    try {
        PresetManager.SavePreset(file, preset);
    } catch (const std::exception& error) {
        ShowErrorReport(error.what());
    }
}

void TEqualizerForm::miSaveAsDefaultClick()
{
    for (std::size_t band = 0; band < GainTracks.size(); ++band)
        WriteDefaultBand(EqBandTable[band].CentreHz, BandValue(GainTracks[band]));
}

void TEqualizerForm::miLoadDefaultClick()
{
    LoadDefault();
    SelectNoPreset();
}
