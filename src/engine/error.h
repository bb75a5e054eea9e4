#pragma once
// The last error code, kept per thread.

namespace zv::engine {

void setError(int code);

// Records code and returns value, so failing paths read as one statement.
template <typename T> T fail(int code, T value)
{
    setError(code);
    return value;
}

} // namespace zv::engine
