// Fuzzes the WAVE reader: any bytes either open with a data chunk that lies
// inside the input, or fail with an error code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sound/api/errors.h"
#include "sound/api/file.h"
#include "sound/extras/waveread.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fileHandle f;
    if (fileOpenMemory(data, size, &f) != errOK)
        return 0;
    mWaveHandle w;
    int error = mWaveOpenFile(f, &w);
    if (error != errOK) {
        if (error >= errNumCodes || error < 0)
            std::abort();
        return 0;
    }
    if (w->dataStart < 0 || static_cast<size_t>(w->dataStart) + w->dataLength > size)
        std::abort();
    std::vector<uint8_t> buffer(w->dataLength);
    if (w->dataLength && fileRead(w->file, buffer.data(), w->dataLength) != errOK)
        std::abort();  // the reported data must be readable whole
    mWaveClose(w);
    return 0;
}
