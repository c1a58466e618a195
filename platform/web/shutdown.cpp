// A page's libraries hold nothing the show must give back: the page starts
// every show in a fresh instance.
#include "platform/shutdown.h"

void ShutdownPlatform() {}
