// Q5SOUND_API marks the definition of each public call (those midasdll.h
// declares). The library is compiled with hidden visibility, so these are
// the only symbols its shared object exports.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define Q5SOUND_API __attribute__((visibility("default")))
#else
#define Q5SOUND_API
#endif
