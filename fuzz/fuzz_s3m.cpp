// Fuzzes the S3M loader through its in-memory entry point. Whatever the
// bytes, the load either fails with an error code, leaving nothing behind,
// or builds a module that keeps the player's invariants.
#include <cstddef>
#include <cstdint>

#include "fuzz/loadcheck.h"
#include "sound/player/gmpmodule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ModuleRecord *m = nullptr;
    if (gmpLoadS3MMemory(data, size, 0, nullptr, &m) != 0) {
        if (m != nullptr)
            __builtin_trap();
        return 0;
    }
    checkModule(m);
    if (gmpFreeModule(m) != 0)
        __builtin_trap();
    return 0;
}
