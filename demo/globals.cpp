// globals: the shared variables of the demo units.
#include "demo/globals.h"

float XpAng, YpAng;
float XpAngS, XpAngC, YpAngS, YpAngC;
std::atomic<uint8_t> SYNC{0};
