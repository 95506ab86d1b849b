// Memory blocks of the sound system. Every block the library takes comes from
// memAlloc and goes back through memFree.
#pragma once

// Allocates size bytes (contents undefined). Size 0 (or negative) fails with
// errInvalidBlock and leaves *block alone; a failed allocation stores a null
// pointer and returns errOutOfMemory.
int memAlloc(int size, void **block);

// Frees a block from memAlloc; a null pointer fails with errInvalidBlock.
int memFree(void *block);
