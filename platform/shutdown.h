// The end of the process: releases what the platform's libraries still hold
// (SDL's subsystems, and with them the display connection), after the show
// has torn down its own. The audio layer closes its output at exit on its
// own (platform/bass.h: BASS_Free). Main thread only.
#pragma once

void ShutdownPlatform();
