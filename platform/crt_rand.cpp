#include "platform/crt_rand.h"

#include <cstdint>

static uint32_t RandState = 1;

int CrtRand() {
  RandState = RandState * 214013u + 2531011u;
  return int((RandState >> 16) & 0x7FFF);
}

void CrtSrand(unsigned seed) { RandState = seed; }
