// Small utilities.
#include "sound/api/mutils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int mGetKey(void)
{
    int c = std::getchar();
    if ((c & 0xFF) != 0)
        return static_cast<signed char>(c);
    return std::getchar() + 256;
}

unsigned mStrLength(const char *s) { return static_cast<unsigned>(std::strlen(s)); }

void mStrCopy(char *dest, const char *src) { std::strcpy(dest, src); }

void mStrAppend(char *dest, const char *src) { std::strcat(dest, src); }

void mMemCopy(void *dest, const void *src, unsigned len) { std::memcpy(dest, src, len); }

int mMemEqual(const void *a, const void *b, unsigned len)
{
    return std::memcmp(a, b, len) == 0 ? 1 : 0;
}

// The conversions keep their result in statics, so two threads must not run
// them at the same time.
long mHex2Long(const char *s)
{
    static unsigned value;
    if (std::sscanf(s, "%x", &value) != 1)
        return -1;
    return static_cast<long>(value);
}

long mDec2Long(const char *s)
{
    static int value;
    if (std::sscanf(s, "%d", &value) != 1)
        return -1;
    return value;
}

char *mGetEnv(const char *name) { return std::getenv(name); }
