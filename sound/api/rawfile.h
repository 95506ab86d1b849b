// Raw files: the standard-I/O layer under the file services.
//
// Open modes: 1 read an existing file ("rb"), 2 create or truncate for
// writing ("wb"), 3 read and write an existing file ("r+b").
// Seek modes: 1 from the start, 2 from the current position, 3 from the end.
// Every function returns an error code; a short read or write is an error.
#pragma once

#include <cstddef>
#include <cstdio>

enum { rfOpenRead = 1, rfOpenWrite = 2, rfOpenReadWrite = 3 };
enum { rfSeekAbsolute = 1, rfSeekRelative = 2, rfSeekEnd = 3 };

struct rfFile {
    FILE *f;
};
typedef rfFile *rfHandle;

int rfOpen(const char *name, int mode, rfHandle *handle);
// Opens a read-only view of size bytes at data, through the same stream
// calls as a file, so that loaders read memory exactly as they read files
// (fuzzers, tests, applications holding a module in memory). The bytes must
// stay valid until rfClose.
int rfOpenMemory(const void *data, size_t size, rfHandle *handle);
int rfClose(rfHandle handle);
int rfGetSize(rfHandle handle, long *size);
int rfRead(rfHandle handle, void *buffer, unsigned long bytes);
int rfWrite(rfHandle handle, void *buffer, unsigned long bytes);
int rfSeek(rfHandle handle, long offset, int seekMode);
int rfGetPosition(rfHandle handle, long *position);
int rfFileExists(const char *name, int *exists);
