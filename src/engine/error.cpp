#include "engine/error.h"

#include "engine/engine.h"

namespace zv::engine {
namespace {
thread_local int t_lastError = Ok;
}

void setError(int code)
{
    t_lastError = code;
}

int lastError()
{
    return t_lastError;
}

} // namespace zv::engine
