#pragma once
// Owns an engine stream: frees it when it goes, unless it was given up.

#include "engine/engine.h"

#include <utility>

class StreamGuard {
public:
    explicit StreamGuard(zv::engine::Handle stream = 0)
        : m_stream(stream)
    {
    }
    ~StreamGuard() { reset(); }
    StreamGuard(const StreamGuard&) = delete;
    StreamGuard& operator=(const StreamGuard&) = delete;

    zv::engine::Handle get() const { return m_stream; }
    // Frees the stream held, then holds this one.
    void reset(zv::engine::Handle stream = 0)
    {
        if (m_stream)
            zv::engine::streamFree(m_stream);
        m_stream = stream;
    }
    // Gives the stream up without freeing it.
    zv::engine::Handle release() { return std::exchange(m_stream, 0); }

private:
    zv::engine::Handle m_stream;
};
