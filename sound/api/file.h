// File services: the one way the sound system reads and writes files.
// A thin layer over the raw files (rawfile.h), with the same open and seek
// modes; every function returns an error code.
#pragma once

#include <cstddef>

#include "sound/api/rawfile.h"

struct fileFile {
    rfHandle rf;
};
typedef fileFile *fileHandle;

int fileOpen(const char *name, int mode, fileHandle *handle);
// A read-only file over bytes in memory (see rfOpenMemory).
int fileOpenMemory(const void *data, size_t size, fileHandle *handle);
int fileClose(fileHandle handle);
int fileGetSize(fileHandle handle, long *size);
int fileRead(fileHandle handle, void *buffer, unsigned long bytes);
int fileWrite(fileHandle handle, void *buffer, unsigned long bytes);
int fileSeek(fileHandle handle, long offset, int seekMode);
int fileGetPosition(fileHandle handle, long *position);
int fileExists(const char *name, int *exists);
