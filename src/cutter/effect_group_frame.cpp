#include "cutter/effect_group_frame.h"

#include "audio/time_text.h"
#include "controls/object_name.h"
#include "effects/effect_manager.h"
#include "effects/equalizer_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <array>

namespace {

struct TableItem {
    const char* Text;
    float Value;
};

// Full-width signs, as the lists show them; there is no 0 tempo item.
constexpr std::array<TableItem, 14> GainDbTable { {
    { "－2", -2 },
    { "－1", -1 },
    { "＋1", 1 },
    { "＋2", 2 },
    { "＋3", 3 },
    { "＋4", 4 },
    { "＋5", 5 },
    { "＋6", 6 },
    { "＋7", 7 },
    { "＋8", 8 },
    { "＋9", 9 },
    { "＋10", 10 },
    { "＋11", 11 },
    { "＋12", 12 },
} };
constexpr std::array<TableItem, 18> TempoPercentTable { {
    { "－30", -30 },
    { "－25", -25 },
    { "－20", -20 },
    { "－15", -15 },
    { "－10", -10 },
    { "－5", -5 },
    { "＋5", 5 },
    { "＋10", 10 },
    { "＋15", 15 },
    { "＋20", 20 },
    { "＋25", 25 },
    { "＋30", 30 },
    { "＋35", 35 },
    { "＋40", 40 },
    { "＋45", 45 },
    { "＋50", 50 },
    { "＋55", 55 },
    { "＋60", 60 },
} };
constexpr int DefaultGainIndex = 6; // "＋5"
constexpr int DefaultTempoIndex = 9; // "＋20"
constexpr int DefaultFadeIndex = 3; // "2.0"

template <std::size_t N> float TableValue(const std::array<TableItem, N>& table, int index)
{
    if (index < 0)
        return 0;
    return table[std::min<std::size_t>(static_cast<std::size_t>(index), N - 1)].Value;
}

QComboBox* DropDownList(QWidget* parent, const char* name, const QStringList& items, int selected)
{
    auto* list = Named(new QComboBox(parent), name);
    list->addItems(items);
    list->setCurrentIndex(selected);
    return list;
}

template <std::size_t N> QStringList TableTexts(const std::array<TableItem, N>& table)
{
    QStringList texts;
    for (const TableItem& item : table)
        texts << QString::fromUtf8(item.Text);
    return texts;
}

// An amount's list and unit label are usable only while its switch is on.
void EnableAmount(QWidget* list, QWidget* label, bool enabled)
{
    list->setEnabled(enabled);
    label->setEnabled(enabled);
}

std::uint32_t ComboMs(const QComboBox* list)
{
    return SecondsTextToMs(list->currentText().toStdString());
}

} // namespace

TEffectGroupFrame::TEffectGroupFrame(QWidget& page)
    : QWidget(&page)
    , m_page(page)
{
    CreateControls();
    ConnectEvents();
    checkEffect->setEnabled(false);
    EnableEffectControls(false);
}

TEffectGroupFrame::~TEffectGroupFrame()
{
    if (m_equalizer)
        m_equalizer->SetOnBandChange({});
}

void TEffectGroupFrame::SetEqualizerWindow(TEqualizerForm* window)
{
    m_equalizer = window;
}

void TEffectGroupFrame::CreateControls()
{
    resize(440, 110);
    gboxEffect = Named(new QGroupBox(QStringLiteral("音效处理"), this), "gboxEffect");
    gboxEffect->setGeometry(0, 0, 440, 110);
    // Over the group's caption, so the switch reads as the caption.
    checkEffect = Named(new QCheckBox(QStringLiteral("音效处理"), this), "checkEffect");
    checkEffect->setGeometry(0, 0, 90, 18);
    checkEffect->setAutoFillBackground(true);

    const QString gainHint = QStringLiteral("试听时可边听边调整");
    checkGain = Named(new QCheckBox(QStringLiteral("增大音量"), gboxEffect), "checkGain");
    checkGain->setGeometry(12, 24, 84, 22);
    checkGain->setToolTip(gainHint);
    cbGain = DropDownList(gboxEffect, "cbGain", TableTexts(GainDbTable), DefaultGainIndex);
    cbGain->setGeometry(98, 22, 64, 24);
    cbGain->setToolTip(gainHint);
    lbGain = Named(new QLabel(QStringLiteral("分贝"), gboxEffect), "lbGain");
    lbGain->setGeometry(166, 24, 30, 22);

    const QString tempoHint = QStringLiteral("加快或减慢播放速度，试听时可边听边调整");
    checkTempo = Named(new QCheckBox(QStringLiteral("速度控制"), gboxEffect), "checkTempo");
    checkTempo->setGeometry(212, 24, 84, 22);
    checkTempo->setToolTip(tempoHint);
    cbTempo = DropDownList(gboxEffect, "cbTempo", TableTexts(TempoPercentTable), DefaultTempoIndex);
    cbTempo->setGeometry(298, 22, 64, 24);
    cbTempo->setToolTip(tempoHint);
    lbTempo = Named(new QLabel(QStringLiteral("%"), gboxEffect), "lbTempo");
    lbTempo->setGeometry(366, 24, 20, 22);

    checkFadeIn = Named(new QCheckBox(QStringLiteral("淡入"), gboxEffect), "checkFadeIn");
    checkFadeIn->setGeometry(12, 52, 84, 22);
    cbFadeIn = DropDownList(gboxEffect, "cbFadeIn",
        { "0.5", "1.0", "1.5", "2.0", "2.5", "3.0", "4.0", "5.0", "8.0", "15", "20" }, DefaultFadeIndex);
    cbFadeIn->setGeometry(98, 50, 64, 24);
    lbFadeIn = Named(new QLabel(QStringLiteral("秒"), gboxEffect), "lbFadeIn");
    lbFadeIn->setGeometry(166, 52, 30, 22);

    checkFadeOut = Named(new QCheckBox(QStringLiteral("淡出"), gboxEffect), "checkFadeOut");
    checkFadeOut->setGeometry(212, 52, 84, 22);
    cbFadeOut = DropDownList(gboxEffect, "cbFadeOut",
        { "0.5", "1.0", "1.5", "2.0", "2.5", "3.0", "4.0", "5.0" }, DefaultFadeIndex);
    cbFadeOut->setGeometry(298, 50, 64, 24);
    lbFadeOut = Named(new QLabel(QStringLiteral("秒"), gboxEffect), "lbFadeOut");
    lbFadeOut->setGeometry(366, 52, 30, 22);

    checkEQ = Named(new QCheckBox(QStringLiteral("均衡器（消除爆音）"), gboxEffect), "checkEQ");
    checkEQ->setGeometry(12, 80, 180, 22);
    btnEffectPlay = Named(new QPushButton(QStringLiteral("音效试听"), gboxEffect), "btnEffectPlay");
    btnEffectPlay->setGeometry(298, 77, 88, 28);
}

void TEffectGroupFrame::ConnectEvents()
{
    connect(checkEffect, &QCheckBox::clicked, this, &TEffectGroupFrame::checkEffectClick);
    connect(checkGain, &QCheckBox::clicked, this, &TEffectGroupFrame::checkGainClick);
    connect(checkTempo, &QCheckBox::clicked, this, &TEffectGroupFrame::checkTempoClick);
    connect(checkFadeIn, &QCheckBox::clicked, this, &TEffectGroupFrame::checkFadeInClick);
    connect(checkFadeOut, &QCheckBox::clicked, this, &TEffectGroupFrame::checkFadeOutClick);
    connect(checkEQ, &QCheckBox::clicked, this, &TEffectGroupFrame::checkEQClick);
    connect(cbGain, &QComboBox::currentIndexChanged, this, &TEffectGroupFrame::cbGainChange);
    connect(cbTempo, &QComboBox::currentIndexChanged, this, &TEffectGroupFrame::cbTempoChange);
}

void TEffectGroupFrame::EnableEffectControls(bool On)
{
    for (QWidget* control : std::initializer_list<QWidget*> {
             checkGain, checkFadeIn, checkFadeOut, checkTempo, checkEQ, btnEffectPlay })
        control->setEnabled(On);
    EnableAmount(cbGain, lbGain, On && checkGain->isChecked());
    EnableAmount(cbFadeIn, lbFadeIn, On && checkFadeIn->isChecked());
    EnableAmount(cbFadeOut, lbFadeOut, On && checkFadeOut->isChecked());
    EnableAmount(cbTempo, lbTempo, On && checkTempo->isChecked());
    if (m_equalizer)
        m_equalizer->setVisible(On && checkEQ->isChecked());
}

float TEffectGroupFrame::SelectedGainDb() const
{
    return TableValue(GainDbTable, cbGain->currentIndex());
}

float TEffectGroupFrame::SelectedTempoPercent() const
{
    return TableValue(TempoPercentTable, cbTempo->currentIndex());
}

void TEffectGroupFrame::FillEffectManager(TEffectManager& Manager) const
{
    Manager.SetEnabled(checkEffect->isChecked());
    if (!checkEffect->isChecked())
        return;
    Manager.SetGainOn(checkGain->isChecked());
    Manager.SetGain(SelectedGainDb());
    Manager.SetFadeInOn(checkFadeIn->isChecked());
    Manager.SetFadeInMs(ComboMs(cbFadeIn));
    Manager.SetFadeOutOn(checkFadeOut->isChecked());
    Manager.SetFadeOutMs(ComboMs(cbFadeOut));
    Manager.SetTempoOn(checkTempo->isChecked());
    Manager.SetTempo(SelectedTempoPercent());
    CopyEqBands(Manager);
    Manager.SetEqOn(checkEQ->isChecked());
}

void TEffectGroupFrame::CopyEqBands(TEffectManager& Manager) const
{
    if (m_equalizer)
        m_equalizer->GetBands(Manager.EqBands);
}

void TEffectGroupFrame::EqBandChanged(QObject*, int Index, int Value)
{
    if (m_live)
        m_live->SetBandGain(Index, true, static_cast<float>(Value));
}

void TEffectGroupFrame::checkEffectClick()
{
    EnableEffectControls(checkEffect->isChecked());
}

void TEffectGroupFrame::checkGainClick()
{
    EnableAmount(cbGain, lbGain, checkGain->isChecked());
    if (m_live) {
        m_live->SetGainOn(checkGain->isChecked());
        m_live->SetGain(SelectedGainDb());
    }
}

void TEffectGroupFrame::checkTempoClick()
{
    EnableAmount(cbTempo, lbTempo, checkTempo->isChecked());
    if (m_live) {
        m_live->SetTempoOn(checkTempo->isChecked());
        m_live->SetTempo(SelectedTempoPercent());
    }
}

// Fades are not changed while a preview plays: they count from the next one.
void TEffectGroupFrame::checkFadeInClick()
{
    EnableAmount(cbFadeIn, lbFadeIn, checkFadeIn->isChecked());
}

void TEffectGroupFrame::checkFadeOutClick()
{
    EnableAmount(cbFadeOut, lbFadeOut, checkFadeOut->isChecked());
}

void TEffectGroupFrame::cbGainChange()
{
    if (m_live)
        m_live->SetGain(SelectedGainDb());
}

void TEffectGroupFrame::cbTempoChange()
{
    if (m_live)
        m_live->SetTempo(SelectedTempoPercent());
}

void TEffectGroupFrame::checkEQClick()
{
    if (m_equalizer) {
        // Placed once near the page's right edge; later it stays wherever the
        // user moved it.
        if (!m_equalizer->Positioned) {
            m_equalizer->Positioned = true;
            const QPoint origin = m_page.mapToGlobal(QPoint(0, 0));
            m_equalizer->move(
                origin.x() + m_page.width() - 200, origin.y() - m_equalizer->frameGeometry().height() + 230);
        }
        m_equalizer->SetOnBandChange(
            [this](QObject* sender, int index, int value) { EqBandChanged(sender, index, value); });
        m_equalizer->setVisible(checkEQ->isChecked());
    }
    if (m_live) {
        CopyEqBands(*m_live);
        m_live->SetEqOn(checkEQ->isChecked());
        if (checkEQ->isChecked())
            m_live->ApplyEq();
        else
            m_live->RemoveEq();
    }
}
