#pragma once
// The cutter page: the source file and the players on it, whole-file playback
// shown and sought on the main slider of trackBarSource, the cut points with
// their edits, spin buttons and range sliders, the segment preview, the
// effect group with the effect preview, and the output group. It owns the
// cut job.
//
// Threads: GUI thread only. The players' end notifications arrive through the
// PostToGui given to InitFrame.

#include "audio/gui_post.h"
#include "controls/slider_number.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;
class TCutHost;
class TCutter;
class TEffectGroupFrame;
class TEffectPlayer;
class TEqualizerForm;
class TOutputGroupFrame;
class TMultiSliderTrackbar;
class TPlayer;
class TSpinButton;

class TCutterFrame : public QWidget {
    Q_OBJECT

public:
    explicit TCutterFrame(QWidget* parent = nullptr);
    // Runs DoneFrame if the page was initialised and not yet shut down.
    ~TCutterFrame() override;

    // Once, before anything else: the cut job (reporting to cutHost, which
    // outlives the page), the no-source state, the slider images, the tempo
    // library check (a mismatch is reported and ends the event loop) and the
    // audio output. post hands the players' notifications to this thread.
    void InitFrame(TCutHost& cutHost, PostToGui post);
    // Frees the players, then the audio output.
    void DoneFrame();
    // The equalizer window the effect group shows and reads; it may be
    // freed before the page.
    void SetEqualizerWindow(TEqualizerForm* window);

    // Makes the file the page's source. Throws AppError with the opening
    // message when it cannot be opened; the page is then left without a
    // usable source, its groups disabled.
    void LoadSourceFile(const std::string& path);
    // Stops and frees SourcePlayer, SegmentPlayer and EffectPlayer, in this
    // order; every error is swallowed.
    void FreePlayers();

    // Sets the enabled state of every control directly inside container and
    // of every control inside a plain panel found there; not of container.
    static void EnableGroupControls(QWidget* container, bool enabled);

    // Reads both points; false, after a message, unless start < end. Throws
    // AppError when a point text does not parse.
    bool ValidateCutPoints(std::uint32_t& StartMs, std::uint32_t& EndMs);

    void StartSourcePlayback();
    void PauseSourcePlayback();
    // Pauses, rewinds and puts the main slider at the left end.
    void ResetSourcePlayback();
    void StartSegmentPreview();
    void StopSegmentPreview();
    // Plays [start, end] through EffectPlayer with the effect group's
    // settings; the cut points and the master switch wait meanwhile.
    void StartEffectPreview();
    void StopEffectPreview();
    // Checks the points, resolves the output path, then cuts with the
    // effect group's settings; format "mp3" or "m4r".
    void StartCut(const std::string& format);

    TCutter& Cutter() const { return *m_cutter; }

    // Both on the loaded file, none while no source is loaded.
    std::unique_ptr<TPlayer> SourcePlayer;
    std::unique_ptr<TPlayer> SegmentPlayer;
    // Created by the first effect preview.
    std::unique_ptr<TEffectPlayer> EffectPlayer;

protected:
    // Pointer enter and leave (slider highlighting), leaving the point edits,
    // and trackBarSeg's keys and mouse.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void ConnectEvents();
    void LoadSliderImages();
    void ShowSourceInfo(const TPlayer& player);
    // Mask of the point edits, with as many minute digits as the longest
    // time they can be given needs (at least two).
    void SetPointMask(std::uint32_t longestMs);
    // A time text with its minutes padded to the mask's digits.
    QString FitToMask(const std::string& timeText) const;
    void SetPointText(QLineEdit* edit, std::uint32_t ms);
    void SetSourcePlayImage(int index);
    void SetSliderFromPoint(QLineEdit* edit, TSliderNumber slider);
    void SetPointFromSlider(QLineEdit* edit, TSliderNumber slider);
    void StepPoint(QLineEdit* edit, TSpinButton* spin, bool up);
    void FillPointBlanks(QLineEdit* edit);
    void PlaceSegThumb(double x);
    bool RangeSliderDragging() const;

    void btnOpenSourceClick();
    void btnSourcePlayClick();
    void btnStartPointClick();
    void btnEndPointClick();
    void btnSegPlayClick();
    void edtStartPointChange();
    void edtEndPointChange();
    void edtStartPointExit();
    void edtEndPointExit();
    void spinStartPointTopClick();
    void spinStartPointBottomClick();
    void spinEndPointTopClick();
    void spinEndPointBottomClick();
    void timerMainTimer();
    void timerSegTimer();
    void trackBarSourceSliderMainChange();
    void trackBarSourceSlider1Change();
    void trackBarSourceSlider2Change();
    void trackBarSourceSliderBeforeDrag(TSliderNumber SliderNumber);
    void trackBarSourceSliderAfterDrag(TSliderNumber SliderNumber);
    void trackBarSegMouseDown(double x);
    void trackBarSegMouseMove(double x, bool leftDown);
    void trackBarSegMouseUp();
    void SourcePlaybackEnded();
    void SegmentPlaybackEnded();
    void btnEffectPlayClickStart();
    void btnEffectPlayClickStop();
    // Swaps btnEffectPlay's click between the two handlers above.
    void SetEffectPlayClick(void (TCutterFrame::*handler)());

    std::unique_ptr<TCutter> m_cutter;
    PostToGui m_post;
    bool m_framed = false; // between InitFrame and DoneFrame
    int m_minuteDigits = 2;
    bool MainSliderDragging = false;
    bool SegSliderDragging = false;
    std::function<void()> m_effectPlayClick;

    QGroupBox* GroupBox1;
    QPushButton* btnOpenSource;
    QPushButton* btnRecord;
    QLineEdit* edtSourceFile;
    QGroupBox* gboxSetPos;
    TMultiSliderTrackbar* trackBarSource;
    QToolButton* btnSourcePlay;
    QFrame* Panel1;
    QLabel* lbCurrentTime;
    QLabel* Label3;
    QLabel* lbTotalTime;
    QPushButton* btnStartPoint;
    QLineEdit* edtStartPoint;
    TSpinButton* spinStartPoint;
    QPushButton* btnEndPoint;
    QLineEdit* edtEndPoint;
    TSpinButton* spinEndPoint;
    QSlider* trackBarSeg;
    QPushButton* btnSegPlay;
    TEffectGroupFrame* EffectGroup;
    TOutputGroupFrame* gboxOut;
    QTimer* timerMain;
    QTimer* timerSeg;
};
