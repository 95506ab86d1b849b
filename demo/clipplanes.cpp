// clipplanes: view-angle constants.
#include "demo/clipplanes.h"

#include <cmath>

#include "demo/globals.h"

// The side planes of the view. The numerator is the width for both angles,
// because the projection scales y by the width too; the half-sizes use
// xres - 2 and yres - 1, which puts the planes on the screen lines x = 1,
// x = xres - 1, y = 0.5 and y = yres - 0.5.
void CreateTarget(int xres, int yres)
{
    const long double w = xres;
    XpAng = (float)std::atan(w / (0.5L * (long double)(xres - 2)));
    YpAng = (float)std::atan(w / (0.5L * (long double)(yres - 1)));
    XpAngS = (float)std::sin((double)XpAng);
    XpAngC = (float)std::cos((double)XpAng);
    YpAngS = (float)std::sin((double)YpAng);
    YpAngC = (float)std::cos((double)YpAng);
}
