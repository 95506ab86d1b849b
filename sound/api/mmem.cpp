// Memory blocks: plain heap blocks behind error codes.
#include "sound/api/mmem.h"

#include <cstdlib>

#include "sound/api/errors.h"

int memAlloc(int size, void **block)
{
    if (size <= 0)
        return errInvalidBlock;
    *block = std::malloc(static_cast<size_t>(size));
    if (*block == nullptr)
        return errOutOfMemory;
    return errOK;
}

int memFree(void *block)
{
    if (block == nullptr)
        return errInvalidBlock;
    std::free(block);
    return errOK;
}
