#pragma once
// The syncs set on one channel and which of them are due.
//
// Guarded by the channel's lock. Callbacks run with that lock held, on the
// thread that moves the channel's data, and may change the list (remove
// their own sync, free the channel).

#include "engine/engine.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace zv::engine {

class SyncList {
public:
    // frame: where a position sync fires (End ignores it). A position sync is
    // armed when it does not lie behind position, where the channel stands.
    void add(Handle sync, Handle channel, SyncType type, std::int64_t frame, SyncCallback callback,
        std::int64_t position);
    bool remove(Handle sync);
    void clear();
    // Playback moved to position: the position syncs from there on fire again
    // when playback reaches them.
    void rearm(std::int64_t position);
    // The frame of the nearest armed position sync.
    std::optional<std::int64_t> nextPosition() const;
    // Fires one armed position sync at or before frame (the nearest, then the
    // first set), disarming it first. False when none is due. One at a time,
    // because a callback may move the channel.
    bool fireNext(std::int64_t frame);
    // Fires every End sync, in the order they were set.
    void fireEnd();

private:
    struct Sync {
        Handle handle;
        Handle channel;
        SyncType type;
        std::int64_t frame;
        bool armed;
        // Shared so a callback that removes its own sync keeps running.
        std::shared_ptr<const SyncCallback> callback;
    };

    std::vector<Sync> m_syncs; // in the order they were set
};

} // namespace zv::engine
