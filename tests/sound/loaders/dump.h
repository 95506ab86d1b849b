// A text dump of a loaded module: every field the loaders fill, the packed
// patterns decoded entry by entry, and a checksum of each sample's data.
#pragma once

#include <string>

#include "sound/player/gmpmodule.h"

std::string dumpModule(const ModuleRecord *m);

// The entries of one packed pattern as text, one row per line
// ("row: ch:note/inst vol cmd:info ...").
std::string dumpPattern(const PatternRecord *p);
