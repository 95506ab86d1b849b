// Raw files over standard I/O streams.
#include "sound/api/rawfile.h"

#include <cerrno>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"

// Maps the standard library's errno to an error code.
static int ErrorCode()
{
    switch (errno) {
    case ENOENT: return errFileNotFound;
    case EBADF: return errInvalidFileHandle;
    case ENOMEM: return errOutOfMemory;
    case EACCES: return errAccessDenied;
    case EEXIST: return errFileExists;
    case ENODEV: return errInvalidPath;
    case EMFILE: return errTooManyFiles;
    default: return errUndefined;
    }
}

static const char *streamMode(int mode)
{
    switch (mode) {
    case rfOpenRead: return "rb";
    case rfOpenWrite: return "wb";
    case rfOpenReadWrite: return "r+b";
    default: return nullptr;
    }
}

static int openStream(FILE *f, rfHandle *handle)
{
    rfFile *rf;
    int error = memAlloc(sizeof(rfFile), reinterpret_cast<void **>(&rf));
    if (error) {
        std::fclose(f);
        return error;
    }
    rf->f = f;
    *handle = rf;
    return errOK;
}

int rfOpen(const char *name, int mode, rfHandle *handle)
{
    const char *smode = streamMode(mode);
    if (smode == nullptr)
        return errInvalidArguments;
    errno = 0;
    FILE *f = std::fopen(name, smode);
    if (f == nullptr)
        return ErrorCode();
    return openStream(f, handle);
}

int rfOpenMemory(const void *data, size_t size, rfHandle *handle)
{
    errno = 0;
    // fmemopen refuses a zero-sized buffer; an empty file is an empty
    // read-write stream of its own, whose size is 0 and whose reads end at once.
    FILE *f = size ? fmemopen(const_cast<void *>(data), size, "rb") : fmemopen(nullptr, 1, "w+");
    if (f == nullptr)
        return ErrorCode();
    return openStream(f, handle);
}

int rfClose(rfHandle handle)
{
    errno = 0;
    if (std::fclose(handle->f) != 0) {
        int error = ErrorCode();
        memFree(handle);
        return error;
    }
    return memFree(handle);
}

int rfRead(rfHandle handle, void *buffer, unsigned long bytes)
{
    if (bytes == 0)
        return errOK;
    errno = 0;
    if (std::fread(buffer, bytes, 1, handle->f) == 1)
        return errOK;
    if (std::ferror(handle->f))
        return ErrorCode();
    if (std::feof(handle->f))
        return errEndOfFile;
    return errFileRead;
}

int rfWrite(rfHandle handle, void *buffer, unsigned long bytes)
{
    if (bytes == 0)
        return errOK;
    errno = 0;
    if (std::fwrite(buffer, bytes, 1, handle->f) == 1)
        return errOK;
    if (std::ferror(handle->f))
        return ErrorCode();
    return errFileWrite;
}

int rfSeek(rfHandle handle, long offset, int seekMode)
{
    int whence;
    switch (seekMode) {
    case rfSeekAbsolute: whence = SEEK_SET; break;
    case rfSeekRelative: whence = SEEK_CUR; break;
    case rfSeekEnd: whence = SEEK_END; break;
    default: return errInvalidArguments;
    }
    errno = 0;
    if (std::fseek(handle->f, offset, whence) != 0) {
        if (std::ferror(handle->f))
            return ErrorCode();
        return errFileRead;
    }
    return errOK;
}

int rfGetPosition(rfHandle handle, long *position)
{
    errno = 0;
    long pos = std::ftell(handle->f);
    if (pos == -1)
        return errno ? ErrorCode() : errUndefined;
    *position = pos;
    return errOK;
}

int rfGetSize(rfHandle handle, long *size)
{
    // Not reentrant: the remembered position lives in a static, as the
    // services are documented to be called from one thread at a time.
    static long savedPosition;
    int error;
    if ((error = rfGetPosition(handle, &savedPosition)) != errOK)
        return error;
    if ((error = rfSeek(handle, 0, rfSeekEnd)) != errOK)
        return error;
    if ((error = rfGetPosition(handle, size)) != errOK)
        return error;
    return rfSeek(handle, savedPosition, rfSeekAbsolute);
}

int rfFileExists(const char *name, int *exists)
{
    FILE *f = std::fopen(name, "rb");
    if (f == nullptr) {
        *exists = 0;
    } else {
        *exists = 1;
        std::fclose(f);
    }
    return errOK;
}
