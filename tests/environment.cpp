// The environment every test runs in: headless, with no display, no sound card
// and no GPU needed. Set before main, so that SDL and Mesa see it; a variable
// already set by the caller is kept.
#include <cstdlib>

namespace {
struct HeadlessEnvironment {
  HeadlessEnvironment() {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  }
} headlessEnvironment;
}  // namespace

// Leak checking is off under AddressSanitizer: the GL and EGL drivers are
// loaded and unloaded at run time and leave allocations that can be neither
// attributed nor suppressed. The fuzzers check the loaders for leaks.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
