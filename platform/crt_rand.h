// The classic C runtime's pseudo-random generator, the same sequence on every
// platform: state 1 at start, state = state * 214013 + 2531011 (mod 2^32),
// value = (state >> 16) & 0x7FFF. Never seeded by the show.
//
// Threads: main thread only; the state is one unsynchronised module value.
#pragma once

int CrtRand();                  // 0 .. 32767
void CrtSrand(unsigned seed);   // tests: restart the sequence (1 = as at start)
