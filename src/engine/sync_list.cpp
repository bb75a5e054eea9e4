#include "engine/sync_list.h"

#include <algorithm>

namespace zv::engine {

void SyncList::add(Handle sync, Handle channel, SyncType type, std::int64_t frame, SyncCallback callback,
    std::int64_t position)
{
    m_syncs.push_back(Sync { sync, channel, type, frame, frame >= position,
        std::make_shared<const SyncCallback>(std::move(callback)) });
}

bool SyncList::remove(Handle sync)
{
    return std::erase_if(m_syncs, [sync](const Sync& s) { return s.handle == sync; }) > 0;
}

void SyncList::clear()
{
    m_syncs.clear();
}

void SyncList::rearm(std::int64_t position)
{
    for (Sync& sync : m_syncs)
        sync.armed = sync.frame >= position;
}

std::optional<std::int64_t> SyncList::nextPosition() const
{
    std::optional<std::int64_t> next;
    for (const Sync& sync : m_syncs) {
        if (sync.type == SyncType::Position && sync.armed && (!next || sync.frame < *next))
            next = sync.frame;
    }
    return next;
}

bool SyncList::fireNext(std::int64_t frame)
{
    const auto next = nextPosition();
    if (!next || *next > frame)
        return false;
    const auto it = std::find_if(m_syncs.begin(), m_syncs.end(),
        [&](const Sync& s) { return s.type == SyncType::Position && s.armed && s.frame == *next; });
    it->armed = false;
    // The callback may change the list: nothing of it is touched afterwards.
    const auto callback = it->callback;
    (*callback)(it->handle, it->channel);
    return true;
}

void SyncList::fireEnd()
{
    std::vector<Handle> due;
    for (const Sync& sync : m_syncs) {
        if (sync.type == SyncType::End)
            due.push_back(sync.handle);
    }
    for (const Handle handle : due) {
        // An earlier callback may have removed it, or freed the channel.
        const auto it = std::find_if(
            m_syncs.begin(), m_syncs.end(), [handle](const Sync& s) { return s.handle == handle; });
        if (it == m_syncs.end())
            continue;
        const auto callback = it->callback;
        const Handle channel = it->channel;
        (*callback)(handle, channel);
    }
}

} // namespace zv::engine
