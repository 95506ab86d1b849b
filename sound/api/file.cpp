// File services forwarded to the raw-file layer.
#include "sound/api/file.h"

#include "sound/api/errors.h"
#include "sound/api/mmem.h"

static int wrap(rfHandle rf, fileHandle *handle)
{
    fileFile *file;
    int error = memAlloc(sizeof(fileFile), reinterpret_cast<void **>(&file));
    if (error) {
        rfClose(rf);
        return error;
    }
    file->rf = rf;
    *handle = file;
    return errOK;
}

int fileOpen(const char *name, int mode, fileHandle *handle)
{
    if (mode < rfOpenRead || mode > rfOpenReadWrite)
        return errInvalidArguments;
    rfHandle rf;
    int error = rfOpen(name, mode, &rf);
    if (error)
        return error;
    return wrap(rf, handle);
}

int fileOpenMemory(const void *data, size_t size, fileHandle *handle)
{
    rfHandle rf;
    int error = rfOpenMemory(data, size, &rf);
    if (error)
        return error;
    return wrap(rf, handle);
}

int fileClose(fileHandle handle)
{
    int error = rfClose(handle->rf);
    memFree(handle);
    return error;
}

int fileGetSize(fileHandle handle, long *size) { return rfGetSize(handle->rf, size); }

int fileRead(fileHandle handle, void *buffer, unsigned long bytes)
{
    return rfRead(handle->rf, buffer, bytes);
}

int fileWrite(fileHandle handle, void *buffer, unsigned long bytes)
{
    return rfWrite(handle->rf, buffer, bytes);
}

int fileSeek(fileHandle handle, long offset, int seekMode)
{
    if (seekMode < rfSeekAbsolute || seekMode > rfSeekEnd)
        return errInvalidArguments;
    return rfSeek(handle->rf, offset, seekMode);
}

int fileGetPosition(fileHandle handle, long *position)
{
    return rfGetPosition(handle->rf, position);
}

int fileExists(const char *name, int *exists) { return rfFileExists(name, exists); }
