// Processor check: a Pentium Pro class processor (Intel, family 6 or later)
// mixes in floating point, anything else in integer arithmetic.
#include <cstring>

#include "sound/mixer/dsm.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

int mCpuIsPProFrom(int hasCpuid, const char vendor[12], unsigned maxFunction, unsigned function1Eax)
{
    if (!hasCpuid)
        return 0;
    if (std::memcmp(vendor, "GenuineIntel", 12) != 0)
        return 0;
    if (maxFunction < 1)
        return 0;
    const unsigned family = (function1Eax >> 8) & 0x0F;
    return family >= 6 ? 1 : 0;
}

#if defined(__i386__) || defined(__x86_64__)
// The CPUID instruction exists when the ID flag (bit 21 of the flags
// register) can be toggled.
static int hasCpuidInstruction(void)
{
#if defined(__x86_64__)
    return 1;  // every 64-bit x86 processor has it
#else
    unsigned before, after;
    __asm__ volatile("pushfl\n\t"
                     "popl %0\n\t"
                     "movl %0, %1\n\t"
                     "xorl $0x200000, %1\n\t"
                     "pushl %1\n\t"
                     "popfl\n\t"
                     "pushfl\n\t"
                     "popl %1\n\t"
                     "pushl %0\n\t"
                     "popfl\n\t"
                     : "=&r"(before), "=&r"(after)
                     :
                     : "cc");
    return ((before ^ after) & 0x200000) != 0;
#endif
}
#endif

int mCpuIsPPro(void)
{
#if defined(__i386__) || defined(__x86_64__)
    if (!hasCpuidInstruction())
        return 0;
    unsigned eax, ebx, ecx, edx;
    __cpuid(0, eax, ebx, ecx, edx);
    char vendor[12];
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    const unsigned maxFunction = eax;
    unsigned eax1 = 0;
    if (maxFunction >= 1)
        __cpuid(1, eax1, ebx, ecx, edx);
    return mCpuIsPProFrom(1, vendor, maxFunction, eax1);
#else
    return 0;  // no CPUID: integer mixing
#endif
}
