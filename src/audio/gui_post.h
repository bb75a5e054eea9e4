#pragma once
// The hand-over of engine notifications to the GUI thread.

#include <functional>

// Runs a task on the GUI thread later, in the order posted. Callable from any
// thread, also from engine callbacks; it must not run the task inline. The
// program posts to the Qt event loop; the CLI and tests post to a
// TTaskQueue their main thread drains.
using PostToGui = std::function<void(std::function<void()>)>;
