#include "app/time_sources.h"

#include "platform/bass.h"
#include "platform/perf_counter.h"

static const ShowTimeSources kRealSources = {BASS_ChannelGetPosition, QueryPerformanceFrequency,
                                              QueryPerformanceCounter, timeGetTime, BASS_GetClockShift};
static ShowTimeSources Sources = kRealSources;

const ShowTimeSources& TimeSources() { return Sources; }

void SetTimeSources(const ShowTimeSources* sources) { Sources = sources ? *sources : kRealSources; }

const ShowTimeSources& RealTimeSources() { return kRealSources; }
