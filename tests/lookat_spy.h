// A spy on gluLookAt for the scene tests: the test binary's own definition
// takes the place of GLU's, records each call and passes it on to GLU.
#pragma once

#include <vector>

struct LookAtCall {
  double eye[3], centre[3], up[3];
};

// Every call since the last LookAtSpyClear, in order.
const std::vector<LookAtCall>& LookAtSpyCalls();
void LookAtSpyClear();
