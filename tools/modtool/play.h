// Real-time playback with a status line and keys.
#pragma once

#include <string>

// Named echo sets for play --echo: room, hall, long. Null for another name.
bool isEchoPreset(const std::string &name);

// Plays the module through the detected device until it ends or q is
// pressed, with the named echo preset when echo is not empty. Returns the
// exit status.
int playModule(const std::string &file, const std::string &echo = "");
