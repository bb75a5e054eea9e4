#include "cutter/cutter_frame.h"

#include "app/widget_application.h"
#include "audio/dialogs_service.h"
#include "audio/time_text.h"
#include "controls/bgr_color.h"
#include "controls/multi_slider_trackbar.h"
#include "controls/object_name.h"
#include "cutter/cutter.h"
#include "cutter/effect_group_frame.h"
#include "cutter/output_group_frame.h"
#include "cutter/player.h"
#include "cutter/widget_cutter_images.h"
#include "cutter/widget_spin_button.h"
#include "effects/effect_player.h"
#include "engine/engine.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <soundtouch/SoundTouch.h>

namespace {

int RoundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

// trackBarSource counts half seconds.
int MsToSliderValue(std::uint32_t ms)
{
    return RoundHalfEven(ms / 1000.0 * 2);
}

std::uint32_t SliderValueToMs(int value)
{
    return static_cast<std::uint32_t>(RoundHalfEven(value / 2.0 * 1000));
}

// The tempo library must be the release the program was built against.
bool TempoLibraryMatches()
{
    if (soundtouch::SoundTouch::getVersionId() / 100 == SOUNDTOUCH_VERSION_ID / 100)
        return true;
    Dialogs().show("版本不符 SoundTouch",
        std::string("库文件 SoundTouch 的版本不符 (库文件版本：") + soundtouch::SoundTouch::getVersionString()
            + ")",
        DialogIcon::Error);
    return false;
}

// Qt's frames between a click and its handler have no exception cleanups (a
// menu would stay marked busy): an error of a handler is reported before it
// leaves the handler.
template <typename Handler> auto Reporting(Handler handler)
{
    return [handler](const auto&... args) {
        TApplication::ReportErrors([&] {
            handler(args...);
            return true;
        });
    };
}

} // namespace

TCutterFrame::TCutterFrame(QWidget* parent)
    : QWidget(parent)
{
    CreateControls();
    ConnectEvents();
}

TCutterFrame::~TCutterFrame()
{
    if (m_framed)
        DoneFrame();
}

void TCutterFrame::CreateControls()
{
    setFixedSize(448, 428);

    GroupBox1 = Named(
        new QGroupBox(QStringLiteral("选择音乐文件，或录制电影、游戏的声音、卡拉OK"), this), "GroupBox1");
    GroupBox1->setGeometry(4, 0, 440, 58);
    edtSourceFile = Named(new QLineEdit(GroupBox1), "edtSourceFile");
    edtSourceFile->setGeometry(10, 24, 258, 24);
    edtSourceFile->setReadOnly(true);
    QPalette facePalette = edtSourceFile->palette();
    facePalette.setColor(QPalette::Base, facePalette.color(QPalette::Button));
    edtSourceFile->setPalette(facePalette);
    btnOpenSource = Named(new QPushButton(QStringLiteral("打开"), GroupBox1), "btnOpenSource");
    btnOpenSource->setGeometry(276, 22, 76, 28);
    btnOpenSource->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    btnRecord = Named(new QPushButton(QStringLiteral("录音"), GroupBox1), "btnRecord");
    btnRecord->setGeometry(358, 22, 76, 28);
    btnRecord->setIcon(RecordImage());
    // The recorder window is not part of the program yet.
    btnRecord->setEnabled(false);

    gboxSetPos = Named(new QGroupBox(QStringLiteral("设置剪切点"), this), "gboxSetPos");
    gboxSetPos->setGeometry(4, 62, 440, 156);
    trackBarSource = Named(new TMultiSliderTrackbar(gboxSetPos), "trackBarSource");
    trackBarSource->setGeometry(6, 20, 377, 32);
    trackBarSource->SetMarginLeft(8);
    trackBarSource->SetMarginTop(1);
    trackBarSource->SetMarginRight(8);
    trackBarSource->SetMarginBottom(1);
    trackBarSource->SetRangeColor(ColorFromBgr(15915206));
    trackBarSource->SetBarBorderColor(ColorFromBgr(15252397));
    trackBarSource->SetBarColor(ColorFromBgr(15461355));
    btnSourcePlay = Named(new QToolButton(gboxSetPos), "btnSourcePlay");
    btnSourcePlay->setGeometry(392, 22, 38, 26);
    btnSourcePlay->setIconSize(QSize(12, 12));
    SetSourcePlayImage(0);

    Panel1 = Named(new QFrame(gboxSetPos), "Panel1");
    Panel1->setGeometry(268, 56, 162, 22);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(13);
    Panel1->setFont(tahoma);
    lbCurrentTime = Named(new QLabel(QStringLiteral("00:00.000"), Panel1), "lbCurrentTime");
    lbCurrentTime->setGeometry(2, 3, 72, 16);
    lbCurrentTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label3 = Named(new QLabel(QStringLiteral("/"), Panel1), "Label3");
    Label3->setGeometry(77, 3, 8, 16);
    lbTotalTime = Named(new QLabel(QStringLiteral("00:00.000"), Panel1), "lbTotalTime");
    lbTotalTime->setGeometry(87, 3, 72, 16);

    btnStartPoint = Named(new QPushButton(QStringLiteral("设为开始"), gboxSetPos), "btnStartPoint");
    btnStartPoint->setGeometry(10, 86, 88, 28);
    btnStartPoint->setIcon(PointImage(true));
    btnStartPoint->setToolTip(QStringLiteral("将当前播放位置设为开始"));
    edtStartPoint = Named(new QLineEdit(gboxSetPos), "edtStartPoint");
    edtStartPoint->setGeometry(102, 88, 84, 24);
    spinStartPoint = Named(new TSpinButton(gboxSetPos), "spinStartPoint");
    spinStartPoint->setGeometry(186, 88, 17, 24);
    btnEndPoint = Named(new QPushButton(QStringLiteral("设为结束"), gboxSetPos), "btnEndPoint");
    btnEndPoint->setGeometry(224, 86, 88, 28);
    btnEndPoint->setIcon(PointImage(false));
    btnEndPoint->setToolTip(QStringLiteral("将当前播放位置设为结束"));
    edtEndPoint = Named(new QLineEdit(gboxSetPos), "edtEndPoint");
    edtEndPoint->setGeometry(316, 88, 84, 24);
    spinEndPoint = Named(new TSpinButton(gboxSetPos), "spinEndPoint");
    spinEndPoint->setGeometry(400, 88, 17, 24);
    for (QLineEdit* edit : { edtStartPoint, edtEndPoint }) {
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
        edit->setInputMask(QStringLiteral("00:00.000;_"));
        edit->setText(QStringLiteral("00:00.000"));
    }

    trackBarSeg = Named(new QSlider(Qt::Horizontal, gboxSetPos), "trackBarSeg");
    trackBarSeg->setGeometry(10, 124, 121, 24);
    trackBarSeg->setRange(0, 30);
    trackBarSeg->setPageStep(0);
    btnSegPlay = Named(new QPushButton(QStringLiteral("片段试听"), gboxSetPos), "btnSegPlay");
    btnSegPlay->setGeometry(136, 121, 88, 28);

    EffectGroup = Named(new TEffectGroupFrame(*this), "EffectGroup");
    EffectGroup->setGeometry(4, 224, 440, 110);
    gboxOut = Named(new TOutputGroupFrame(this), "gboxOut");
    gboxOut->setGeometry(4, 340, 440, 84);

    timerMain = Named(new QTimer(this), "timerMain");
    timerMain->setInterval(200);
    timerSeg = Named(new QTimer(this), "timerSeg");
    timerSeg->setInterval(500);
}

void TCutterFrame::ConnectEvents()
{
    connect(btnOpenSource, &QPushButton::clicked, this, Reporting([this](bool) { btnOpenSourceClick(); }));
    connect(btnSourcePlay, &QToolButton::clicked, this, &TCutterFrame::btnSourcePlayClick);
    connect(btnStartPoint, &QPushButton::clicked, this, &TCutterFrame::btnStartPointClick);
    connect(btnEndPoint, &QPushButton::clicked, this, &TCutterFrame::btnEndPointClick);
    connect(btnSegPlay, &QPushButton::clicked, this, &TCutterFrame::btnSegPlayClick);
    connect(edtStartPoint, &QLineEdit::textChanged, this, &TCutterFrame::edtStartPointChange);
    connect(edtEndPoint, &QLineEdit::textChanged, this, &TCutterFrame::edtEndPointChange);
    connect(spinStartPoint, &TSpinButton::TopClick, this, Reporting([this] { spinStartPointTopClick(); }));
    connect(
        spinStartPoint, &TSpinButton::BottomClick, this, Reporting([this] { spinStartPointBottomClick(); }));
    connect(spinEndPoint, &TSpinButton::TopClick, this, Reporting([this] { spinEndPointTopClick(); }));
    connect(spinEndPoint, &TSpinButton::BottomClick, this, Reporting([this] { spinEndPointBottomClick(); }));
    connect(timerMain, &QTimer::timeout, this, &TCutterFrame::timerMainTimer);
    connect(timerSeg, &QTimer::timeout, this, &TCutterFrame::timerSegTimer);
    connect(trackBarSource, &TMultiSliderTrackbar::OnSliderMainChange, this,
        &TCutterFrame::trackBarSourceSliderMainChange);
    connect(trackBarSource, &TMultiSliderTrackbar::OnSlider1Change, this,
        &TCutterFrame::trackBarSourceSlider1Change);
    connect(trackBarSource, &TMultiSliderTrackbar::OnSlider2Change, this,
        &TCutterFrame::trackBarSourceSlider2Change);
    connect(trackBarSource, &TMultiSliderTrackbar::OnSliderBeforeDrag, this,
        [this](auto*, TSliderNumber slider, int, int) { trackBarSourceSliderBeforeDrag(slider); });
    connect(trackBarSource, &TMultiSliderTrackbar::OnSliderAfterDrag, this,
        [this](auto*, TSliderNumber slider, int, int) { trackBarSourceSliderAfterDrag(slider); });
    connect(gboxOut, &TOutputGroupFrame::cutRequested, this,
        Reporting([this](const QString& format) { StartCut(format.toStdString()); }));
    connect(EffectGroup->btnEffectPlay, &QPushButton::clicked, this,
        Reporting([this](bool) { m_effectPlayClick(); }));
    SetEffectPlayClick(&TCutterFrame::btnEffectPlayClickStart);
    for (QWidget* watched : std::initializer_list<QWidget*> { btnStartPoint, btnEndPoint, edtStartPoint,
             spinStartPoint, edtEndPoint, spinEndPoint, trackBarSeg })
        watched->installEventFilter(this);
}

void TCutterFrame::InitFrame(TCutHost& cutHost, PostToGui post)
{
    m_post = std::move(post);
    m_cutter = std::make_unique<TCutter>(cutHost);
    edtStartPoint->setText(FitToMask(MsToTimeText(0)));
    edtEndPoint->setText(FitToMask(MsToTimeText(0)));
    EnableGroupControls(gboxSetPos, false);
    gboxOut->EnableForSource(false);
    LoadSliderImages();
    if (!TempoLibraryMatches())
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    // A failure shows later, as error 8 when a file is opened.
    zv::engine::init(zv::engine::DefaultDevice, 44100);
    m_framed = true;
}

void TCutterFrame::DoneFrame()
{
    FreePlayers();
    zv::engine::shutdown();
    m_framed = false;
}

void TCutterFrame::FreePlayers()
{
    // An error while stopping a player leaves it in place; the next player is
    // still handled.
    try {
        if (SourcePlayer) {
            ResetSourcePlayback();
            SourcePlayer.reset();
        }
    } catch (...) {
    }
    try {
        if (SegmentPlayer) {
            StopSegmentPreview();
            SegmentPlayer.reset();
        }
    } catch (...) {
    }
    try {
        StopEffectPreview();
    } catch (...) {
    }
    EffectGroup->SetLiveManager(nullptr);
    EffectPlayer.reset();
}

void TCutterFrame::SetEqualizerWindow(TEqualizerForm* window)
{
    EffectGroup->SetEqualizerWindow(window);
}

void TCutterFrame::EnableGroupControls(QWidget* container, bool enabled)
{
    for (QWidget* control : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        control->setEnabled(enabled);
        if (control->metaObject() == &QFrame::staticMetaObject)
            EnableGroupControls(control, enabled);
    }
}

void TCutterFrame::LoadSliderImages()
{
    const QPixmap images[3][2] = {
        { QPixmap(QString::fromLatin1(DefaultSliderMainImage)),
            QPixmap(QString::fromLatin1(SliderMainHighlightImage)) },
        { QPixmap(QString::fromLatin1(DefaultSlider1Image)),
            QPixmap(QString::fromLatin1(Slider1HighlightImage)) },
        { QPixmap(QString::fromLatin1(DefaultSlider2Image)),
            QPixmap(QString::fromLatin1(Slider2HighlightImage)) },
    };
    trackBarSource->SetImageSliderMain(images[0][0]);
    trackBarSource->SetImageSliderMain_Blink1(images[0][1]);
    trackBarSource->SetImageSlider1(images[1][0]);
    trackBarSource->SetImageSlider1_Blink1(images[1][1]);
    trackBarSource->SetImageSlider2(images[2][0]);
    trackBarSource->SetImageSlider2_Blink1(images[2][1]);
}

void TCutterFrame::LoadSourceFile(const std::string& path)
{
    FreePlayers();
    m_cutter->SourceFile.clear();
    EnableGroupControls(gboxSetPos, false);
    gboxOut->EnableForSource(false);
    EffectGroup->checkEffect->setChecked(false);
    EffectGroup->checkEffect->setEnabled(false);
    EffectGroup->EnableEffectControls(false);

    SourcePlayer = std::make_unique<TPlayer>(path, m_post);
    SegmentPlayer = std::make_unique<TPlayer>(path, m_post);
    SourcePlayer->OnStop = [this] { SourcePlaybackEnded(); };
    SegmentPlayer->OnStop = [this] { SegmentPlaybackEnded(); };
    ShowSourceInfo(*SourcePlayer);
    m_cutter->SourceFile = path;
    edtSourceFile->setText(QString::fromStdString(path));

    EnableGroupControls(gboxSetPos, true);
    gboxOut->EnableForSource(true);
    gboxOut->SetDefaultOutputName(path);
    EffectGroup->checkEffect->setEnabled(true);
}

void TCutterFrame::ShowSourceInfo(const TPlayer& player)
{
    const std::uint32_t length = player.LengthMs();
    trackBarSource->SetMax(MsToSliderValue(length));
    lbCurrentTime->setText(QString::fromStdString(MsToTimeText(0)));
    lbTotalTime->setText(QString::fromStdString(MsToTimeText(length)));
    // A slider at Max may stand a little beyond the length.
    SetPointMask(std::max(length, SliderValueToMs(trackBarSource->Max())));
    SetPointText(edtStartPoint, 0);
    SetPointText(edtEndPoint, length);
}

void TCutterFrame::SetPointMask(std::uint32_t longestMs)
{
    const int digits = std::max(2, static_cast<int>(std::to_string(longestMs / 60000).size()));
    if (digits == m_minuteDigits)
        return;
    m_minuteDigits = digits;
    const QString mask = QString(digits, QLatin1Char('0')) + QStringLiteral(":00.000;_");
    for (QLineEdit* edit : { edtStartPoint, edtEndPoint }) {
        // The text refitted to the new mask means nothing; cleared, the
        // points set next always count as changed.
        const QSignalBlocker silent(edit);
        edit->setInputMask(mask);
        edit->clear();
    }
}

QString TCutterFrame::FitToMask(const std::string& timeText) const
{
    const int minuteDigits = static_cast<int>(timeText.size()) - 7;
    return QString(std::max(0, m_minuteDigits - minuteDigits), QLatin1Char('0'))
        + QString::fromStdString(timeText);
}

void TCutterFrame::SetPointText(QLineEdit* edit, std::uint32_t ms)
{
    edit->setText(FitToMask(MsToTimeText(ms)));
}

namespace {

// The point as the user left it: a digit place left blank reads as a blank.
std::string PointText(const QLineEdit* edit)
{
    return edit->displayText().replace(QLatin1Char('_'), QLatin1Char(' ')).toStdString();
}

} // namespace

bool TCutterFrame::ValidateCutPoints(std::uint32_t& StartMs, std::uint32_t& EndMs)
{
    StartMs = TimeTextToMs(PointText(edtStartPoint));
    EndMs = TimeTextToMs(PointText(edtEndPoint));
    if (StartMs >= EndMs) {
        Dialogs().message("“开始时间”必须小于“结束时间”。");
        return false;
    }
    return true;
}

void TCutterFrame::SetSourcePlayImage(int index)
{
    btnSourcePlay->setIcon(SourcePlayImage(index));
    btnSourcePlay->setProperty("ImageIndex", index);
}

// --- Whole-file playback ---

void TCutterFrame::btnOpenSourceClick()
{
    const std::string path = Dialogs().openFile("选择待剪切的音乐文件",
        "支持的格式(mp3/wma/wav)|*.mp3;*.wma;*.wav|Mp3 (*.mp3)|*.mp3|Wma (*.wma)|*.wma|Wav (*.wav)|*.wav|"
        "所有文件 (*.*)|*.*");
    if (!path.empty())
        LoadSourceFile(path);
}

void TCutterFrame::btnSourcePlayClick()
{
    if (!SourcePlayer)
        return;
    if (SourcePlayer->Playing())
        PauseSourcePlayback();
    else
        StartSourcePlayback();
}

void TCutterFrame::StartSourcePlayback()
{
    StopSegmentPreview();
    if (!SourcePlayer || SourcePlayer->Playing())
        return;
    SetSourcePlayImage(1);
    timerMain->start();
    SourcePlayer->Play();
}

void TCutterFrame::PauseSourcePlayback()
{
    if (!SourcePlayer || !SourcePlayer->Playing())
        return;
    SourcePlayer->Pause();
    SetSourcePlayImage(0);
    timerMain->stop();
}

void TCutterFrame::ResetSourcePlayback()
{
    if (!SourcePlayer)
        return;
    SourcePlayer->Pause();
    SourcePlayer->SeekMs(0);
    SetSourcePlayImage(0);
    timerMain->stop();
    trackBarSource->SetSliderPosition(SliderNumber_Main, 0);
}

void TCutterFrame::SourcePlaybackEnded()
{
    if (!SourcePlayer)
        return;
    // Not rewound: a stream that played to its end starts again from the
    // beginning.
    SourcePlayer->Pause();
    SetSourcePlayImage(0);
    timerMain->stop();
    trackBarSource->SetSliderPosition(SliderNumber_Main, 0);
    lbCurrentTime->setText(QString::fromStdString(MsToTimeText(0)));
}

void TCutterFrame::timerMainTimer()
{
    if (!SourcePlayer) {
        timerMain->stop();
        return;
    }
    const std::uint32_t position = SourcePlayer->PositionMs();
    trackBarSource->SetSliderPosition(
        SliderNumber_Main, trackBarSource->ValueToPixel(MsToSliderValue(position)));
    lbCurrentTime->setText(QString::fromStdString(MsToTimeText(position)));
}

void TCutterFrame::trackBarSourceSliderBeforeDrag(TSliderNumber SliderNumber)
{
    if (SliderNumber != SliderNumber_Main)
        return;
    timerMain->stop();
    MainSliderDragging = true;
    trackBarSourceSliderMainChange();
}

void TCutterFrame::trackBarSourceSliderMainChange()
{
    if (!MainSliderDragging)
        return;
    const int value = trackBarSource->PixelToValue(trackBarSource->GetSliderPosition(SliderNumber_Main));
    lbCurrentTime->setText(QString::fromStdString(MsToTimeText(SliderValueToMs(value))));
}

void TCutterFrame::trackBarSourceSliderAfterDrag(TSliderNumber SliderNumber)
{
    if (SliderNumber != SliderNumber_Main)
        return;
    MainSliderDragging = false;
    if (!SourcePlayer)
        return;
    const int value = trackBarSource->PixelToValue(trackBarSource->GetSliderPosition(SliderNumber_Main));
    SourcePlayer->SeekMs(static_cast<std::uint32_t>(value) * 500);
    // Also while paused; the label then keeps the position sought.
    timerMain->start();
}

// --- Cut points ---

void TCutterFrame::btnStartPointClick()
{
    if (SourcePlayer)
        SetPointText(edtStartPoint, SourcePlayer->PositionMs());
}

void TCutterFrame::btnEndPointClick()
{
    if (SourcePlayer)
        SetPointText(edtEndPoint, SourcePlayer->PositionMs());
}

void TCutterFrame::StepPoint(QLineEdit* edit, TSpinButton* spin, bool up)
{
    std::uint32_t t = 0;
    try {
        t = TimeTextToMs(PointText(edit));
    } catch (...) {
        // The error report is modal: a half held down must not keep
        // repeating behind it.
        spin->Release();
        throw;
    }
    if (!up)
        t = t < 300 ? 0 : t - 300;
    else if (SourcePlayer)
        t = t + 300 > SourcePlayer->LengthMs() ? SourcePlayer->LengthMs() : t + 300;
    SetPointText(edit, t);
}

void TCutterFrame::spinStartPointTopClick()
{
    StepPoint(edtStartPoint, spinStartPoint, true);
}

void TCutterFrame::spinStartPointBottomClick()
{
    StepPoint(edtStartPoint, spinStartPoint, false);
}

void TCutterFrame::spinEndPointTopClick()
{
    StepPoint(edtEndPoint, spinEndPoint, true);
}

void TCutterFrame::spinEndPointBottomClick()
{
    StepPoint(edtEndPoint, spinEndPoint, false);
}

bool TCutterFrame::RangeSliderDragging() const
{
    return trackBarSource->IsSliderDragging(SliderNumber_1)
        || trackBarSource->IsSliderDragging(SliderNumber_2);
}

void TCutterFrame::SetSliderFromPoint(QLineEdit* edit, TSliderNumber slider)
{
    // A text written by a drag already stands where the slider is.
    if (RangeSliderDragging())
        return;
    std::uint32_t t = 0;
    try {
        t = TimeTextToMs(PointText(edit));
    } catch (const std::exception&) {
        return; // still being typed
    }
    trackBarSource->SetSliderPosition(slider, trackBarSource->ValueToPixel(MsToSliderValue(t)));
}

void TCutterFrame::edtStartPointChange()
{
    SetSliderFromPoint(edtStartPoint, SliderNumber_1);
}

void TCutterFrame::edtEndPointChange()
{
    SetSliderFromPoint(edtEndPoint, SliderNumber_2);
}

void TCutterFrame::FillPointBlanks(QLineEdit* edit)
{
    edit->setText(edit->displayText().replace(QLatin1Char('_'), QLatin1Char('0')));
}

void TCutterFrame::edtStartPointExit()
{
    FillPointBlanks(edtStartPoint);
}

void TCutterFrame::edtEndPointExit()
{
    FillPointBlanks(edtEndPoint);
    std::uint32_t t = 0;
    try {
        t = TimeTextToMs(PointText(edtEndPoint));
    } catch (const std::exception&) {
        return;
    }
    if (SourcePlayer && t > SourcePlayer->LengthMs())
        t = SourcePlayer->LengthMs();
    SetPointText(edtEndPoint, t);
}

void TCutterFrame::SetPointFromSlider(QLineEdit* edit, TSliderNumber slider)
{
    if (!RangeSliderDragging())
        return;
    const int value = trackBarSource->PixelToValue(trackBarSource->GetSliderPosition(slider));
    SetPointText(edit, SliderValueToMs(value));
}

void TCutterFrame::trackBarSourceSlider1Change()
{
    SetPointFromSlider(edtStartPoint, SliderNumber_1);
}

void TCutterFrame::trackBarSourceSlider2Change()
{
    SetPointFromSlider(edtEndPoint, SliderNumber_2);
}

// --- Segment preview ---

void TCutterFrame::btnSegPlayClick()
{
    if (!SegmentPlayer)
        return;
    if (SegmentPlayer->Playing())
        StopSegmentPreview();
    else
        StartSegmentPreview();
}

void TCutterFrame::StartSegmentPreview()
{
    PauseSourcePlayback();
    if (!SegmentPlayer || SegmentPlayer->Playing())
        return;
    std::uint32_t start = 0, end = 0;
    if (!ValidateCutPoints(start, end) || SegmentPlayer->Playing())
        return;
    std::uint32_t from = start;
    if (trackBarSeg->maximum() > 0) {
        from = start
            + static_cast<std::uint32_t>(std::trunc(
                static_cast<double>(trackBarSeg->value()) / trackBarSeg->maximum() * (end - start)));
        if (from >= end) {
            trackBarSeg->setValue(0);
            StopSegmentPreview();
            return;
        }
    }
    btnSegPlay->setText(QStringLiteral("停止"));
    timerSeg->start();
    SegmentPlayer->PlayRange(start, end, from);
}

void TCutterFrame::StopSegmentPreview()
{
    if (!SegmentPlayer || !SegmentPlayer->Playing())
        return;
    SegmentPlayer->Pause();
    btnSegPlay->setText(QStringLiteral("片段试听"));
    timerSeg->stop();
    trackBarSeg->setValue(0);
    SegmentPlayer->RemoveRangeSync();
}

void TCutterFrame::SegmentPlaybackEnded()
{
    StopSegmentPreview();
}

void TCutterFrame::timerSegTimer()
{
    if (!SegmentPlayer) {
        timerSeg->stop();
        return;
    }
    const std::uint32_t rangeStart = SegmentPlayer->RangeStart();
    const std::uint32_t rangeLength = SegmentPlayer->RangeLength();
    const std::uint32_t position = SegmentPlayer->PositionMs();
    if (rangeLength > 0) {
        const std::uint32_t relative = position < rangeStart ? 0 : position - rangeStart;
        trackBarSeg->setValue(
            RoundHalfEven(static_cast<double>(relative) / rangeLength * trackBarSeg->maximum()));
    }
}

void TCutterFrame::PlaceSegThumb(double x)
{
    const int range = trackBarSeg->maximum() - trackBarSeg->minimum();
    trackBarSeg->setValue(
        RoundHalfEven((x - 7) / (trackBarSeg->width() - 14) * range + trackBarSeg->minimum()));
}

void TCutterFrame::trackBarSegMouseDown(double x)
{
    timerSeg->stop();
    SegSliderDragging = true;
    PlaceSegThumb(x);
}

void TCutterFrame::trackBarSegMouseMove(double x, bool leftDown)
{
    if (leftDown && SegSliderDragging)
        PlaceSegThumb(x);
}

void TCutterFrame::trackBarSegMouseUp()
{
    SegSliderDragging = false;
    if (!SegmentPlayer)
        return;
    const std::uint32_t start = TimeTextToMs(PointText(edtStartPoint));
    const std::uint32_t end = TimeTextToMs(PointText(edtEndPoint));
    if (end <= start) {
        trackBarSeg->setValue(0);
        return;
    }
    const int max = trackBarSeg->maximum();
    if (max <= 0)
        return;
    if (trackBarSeg->value() == max) {
        StopSegmentPreview();
        return;
    }
    const std::uint32_t from = start
        + static_cast<std::uint32_t>(
            std::trunc(static_cast<double>(trackBarSeg->value()) / max * (end - start)));
    if (from >= SegmentPlayer->RangeEnd()) {
        StopSegmentPreview();
        return;
    }
    SegmentPlayer->SeekMs(from);
    if (SegmentPlayer->Playing())
        timerSeg->start();
}

bool TCutterFrame::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Enter || type == QEvent::Leave) {
        const bool on = type == QEvent::Enter;
        if (watched == btnStartPoint || watched == btnEndPoint)
            trackBarSource->SetSliderBlink(SliderNumber_Main, on);
        else if (watched == edtStartPoint || watched == spinStartPoint)
            trackBarSource->SetSliderBlink(SliderNumber_1, on);
        else if (watched == edtEndPoint || watched == spinEndPoint)
            trackBarSource->SetSliderBlink(SliderNumber_2, on);
        return false;
    }
    if (type == QEvent::FocusOut && (watched == edtStartPoint || watched == edtEndPoint)) {
        // Leaving the field; a menu or another window taking the focus is not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            if (watched == edtStartPoint)
                edtStartPointExit();
            else
                edtEndPointExit();
        }
        return false;
    }
    if (watched != trackBarSeg)
        return false;
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        // The keyboard never moves the thumb; Tab still moves the focus.
        const int key = static_cast<QKeyEvent*>(event)->key();
        return key != Qt::Key_Tab && key != Qt::Key_Backtab;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        trackBarSegMouseDown(static_cast<QMouseEvent*>(event)->position().x());
        return true;
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        trackBarSegMouseMove(mouse->position().x(), mouse->buttons() & Qt::LeftButton);
        return true;
    }
    case QEvent::MouseButtonRelease:
        trackBarSegMouseUp();
        return true;
    default:
        return false;
    }
}

// --- Effect preview ---

void TCutterFrame::SetEffectPlayClick(void (TCutterFrame::*handler)())
{
    m_effectPlayClick = [this, handler] { (this->*handler)(); };
}

void TCutterFrame::btnEffectPlayClickStart()
{
    StartEffectPreview();
}

void TCutterFrame::btnEffectPlayClickStop()
{
    StopEffectPreview();
}

void TCutterFrame::StartEffectPreview()
{
    std::uint32_t start = 0, end = 0;
    if (!SourcePlayer || !ValidateCutPoints(start, end))
        return;
    StopSegmentPreview();
    PauseSourcePlayback();
    EnableGroupControls(gboxSetPos, false);
    EffectGroup->checkEffect->setEnabled(false);
    if (!EffectPlayer) {
        try {
            EffectPlayer = std::make_unique<TEffectPlayer>(SourcePlayer->FileName(), m_post);
        } catch (...) {
            // Nothing plays: the page must not stay locked until the next
            // source.
            EnableGroupControls(gboxSetPos, true);
            EffectGroup->checkEffect->setEnabled(true);
            throw;
        }
        EffectPlayer->OnStop = [this] { StopEffectPreview(); };
        EffectGroup->SetLiveManager(&EffectPlayer->Manager);
    }
    EffectGroup->btnEffectPlay->setText(QStringLiteral("停止"));
    SetEffectPlayClick(&TCutterFrame::btnEffectPlayClickStop);
    EffectGroup->FillEffectManager(EffectPlayer->Manager);
    EffectPlayer->PlaySegment(start, end);
}

void TCutterFrame::StopEffectPreview()
{
    if (EffectPlayer) {
        if (EffectPlayer->Playing())
            EffectPlayer->Pause();
        EffectPlayer->RemoveRangeSync();
    }
    EffectGroup->btnEffectPlay->setText(QStringLiteral("音效试听"));
    SetEffectPlayClick(&TCutterFrame::btnEffectPlayClickStart);
    EnableGroupControls(gboxSetPos, true);
    EffectGroup->checkEffect->setEnabled(true);
}

// --- Output ---

void TCutterFrame::StartCut(const std::string& format)
{
    std::uint32_t start = 0, end = 0;
    if (!ValidateCutPoints(start, end))
        return;
    const std::string path = gboxOut->ResolveOutputPath(format, m_cutter->SourceFile);
    if (path.empty())
        return;
    const int bitrate = gboxOut->SelectedBitrate();
    EffectGroup->FillEffectManager(m_cutter->DecodeEffects);
    m_cutter->Execute(start, end, path, bitrate, format);
}
