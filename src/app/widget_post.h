#pragma once
// The program's hand-over to the GUI thread: tasks posted from any thread run
// later in the Qt event loop, in the order posted.

#include "audio/gui_post.h"

// Posts to the application object; tasks posted while no application exists
// are dropped.
PostToGui WidgetPost();
