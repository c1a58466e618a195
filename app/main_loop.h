// The show's entry: start-up in a fixed order, the loop of one message or one
// frame per pass, and teardown. Returns the process exit code.
#pragma once

int WinMain();
