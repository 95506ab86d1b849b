// Small utilities of the sound system: thin shells over the standard library.
#pragma once

// One key from standard input; an extended key (a 0 byte first) is the next
// character plus 256.
int mGetKey(void);
unsigned mStrLength(const char *s);
void mStrCopy(char *dest, const char *src);
void mStrAppend(char *dest, const char *src);
void mMemCopy(void *dest, const void *src, unsigned len);
// 1 when the len bytes are equal, else 0.
int mMemEqual(const void *a, const void *b, unsigned len);
// Hexadecimal / decimal text to a number; -1 when nothing converts.
long mHex2Long(const char *s);
long mDec2Long(const char *s);
char *mGetEnv(const char *name);
