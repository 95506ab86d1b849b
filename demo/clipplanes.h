// clipplanes: the view-angle constants of the screen size.
#pragma once

// Fills XpAng, YpAng and their sines and cosines for an xres x yres screen.
void CreateTarget(int xres, int yres);
