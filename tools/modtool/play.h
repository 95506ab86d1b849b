// Real-time playback with a status line and keys.
#pragma once

#include <string>
#include <vector>

// Named echo sets for play --echo: room, hall, long. Null for another name.
bool isEchoPreset(const std::string &name);

// Plays the modules one after another through the detected device, each
// until it ends (never, while looping is on) or a key moves on: n and p to
// the next and previous file, q to quit. With the named echo preset when echo
// is not empty. Returns the exit status: 1 when a file could not be played.
int playModules(const std::vector<std::string> &files, const std::string &echo, bool loop);
