// Real-time playback with a status line and keys.
#pragma once

#include <string>

// Plays the module through the detected device until it ends or q is
// pressed. Returns the exit status.
int playModule(const std::string &file);
