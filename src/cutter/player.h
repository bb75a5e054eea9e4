#pragma once
// One playback stream on a source file, with millisecond positions, play,
// pause, seek and a range play that stops by itself at its end.
//
// Threads: every operation runs on the GUI thread. The engine calls the end
// syncs on its output thread; they reach the GUI thread through the injected
// PostToGui, where OnStop runs and Playing is cleared as one task.

#include "audio/gui_post.h"
#include "engine/engine.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TPlayer {
public:
    // Opens fileName as a playable, prescanned stream and sets its end sync.
    // Throws AppError with the opening message. post must be callable and
    // stay so while the engine may call the player's syncs.
    TPlayer(const std::string& fileName, PostToGui post);
    // Frees the stream, which stops its sound and removes its syncs; a
    // notification still queued for this player is dropped.
    virtual ~TPlayer();
    TPlayer(const TPlayer&) = delete;
    TPlayer& operator=(const TPlayer&) = delete;

    // Raised on the GUI thread when playback stops by itself (end of a range
    // or of the stream), while Playing is still true for that play.
    std::function<void()> OnStop;

    zv::engine::Handle Stream() const { return m_stream; }
    const std::string& FileName() const { return m_fileName; }
    // Rounded to the nearest millisecond, halves to even.
    std::uint32_t LengthMs() const { return m_lengthMs; }
    // The engine's full 64-bit length.
    std::uint64_t LengthBytes() const { return m_lengthBytes; }
    bool Playing() const { return m_playing; }
    // The last accepted range play; 0 until the first one.
    std::uint32_t RangeStart() const { return m_rangeStart; }
    std::uint32_t RangeEnd() const { return m_rangeEnd; }
    std::uint32_t RangeLength() const { return m_rangeLength; }
    zv::engine::Handle RangeSync() const { return m_rangeSync; }

    // Truncated to whole milliseconds.
    std::uint32_t PositionMs() const;
    // Resumes where the stream stands.
    void Play();
    // A range sync stays in place.
    void Pause();
    // Leaves Playing as it is.
    void SeekMs(std::uint32_t ms);
    // Plays from fromMs and stops at endMs, sample-exact; startMs is only
    // stored. Does nothing when fromMs is not before endMs or the stream
    // cannot be positioned there. A range sync of an earlier play that was
    // not removed stays in place: the owner removes it when it stops a range
    // play itself.
    virtual void PlayRange(std::uint32_t startMs, std::uint32_t endMs, std::uint32_t fromMs);
    // PlayRange(startMs, endMs, startMs) of the actual class.
    void PlaySegment(std::uint32_t startMs, std::uint32_t endMs);
    // Harmless when the sync has removed itself or there is none.
    void RemoveRangeSync();

protected:
    // For subclasses that open their stream themselves: takes ownership of
    // stream (a playable channel), reads its length and sets its end sync.
    TPlayer(const std::string& fileName, PostToGui post, zv::engine::Handle stream);
    // Frees the stream early, for a subclass whose stream reads from a
    // channel it frees afterwards.
    void FreeStream();

private:
    // What an end sync runs on the engine's output thread: posts
    // NotifyStopped to the GUI thread. It reads nothing of the player there.
    std::function<void()> StoppedNotifier();
    // GUI thread: OnStop, then Playing := false.
    void NotifyStopped();

    const PostToGui m_post;
    zv::engine::Handle m_stream = 0;
    std::string m_fileName;
    std::uint32_t m_lengthMs = 0;
    std::uint64_t m_lengthBytes = 0;
    bool m_playing = false;
    std::uint32_t m_rangeStart = 0;
    std::uint32_t m_rangeEnd = 0;
    std::uint32_t m_rangeLength = 0;
    zv::engine::Handle m_rangeSync = 0;
    // Expires with the player; a posted notification checks it on the GUI
    // thread before touching the player.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
