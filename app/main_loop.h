// The show's entry: start-up in a fixed order, the loop of one message or one
// frame per pass, and teardown. Main thread only.
#pragma once

#include "app/options.h"

// Runs the whole show. Returns the process exit code: 0 when the show ended,
// Escape was pressed or the window was closed; 1 after a failure box.
int WinMain(const ShowOptions& options = ShowOptions());
