// The loader table: which loader reads a file, judged by its first bytes.
#include <cstring>

#include "sound/player/gmpmodule.h"

namespace {

bool hasText(const uint8_t *head, size_t size, size_t offset, const char *text)
{
    size_t n = std::strlen(text);
    return size >= offset + n && std::memcmp(head + offset, text, n) == 0;
}

bool detectXM(const uint8_t *head, size_t size)
{
    return hasText(head, size, 0, "Extended Module:");
}
bool detectS3M(const uint8_t *head, size_t size) { return hasText(head, size, 44, "SCRM"); }
bool detectIT(const uint8_t *head, size_t size) { return hasText(head, size, 0, "IMPM"); }
// The MOD tag lies at 1080, past the bytes looked at here, so MOD is the
// fallback: its loader refuses a file whose tag it does not know.
bool detectMOD(const uint8_t *, size_t) { return true; }

}  // namespace

const ModuleLoader gmpLoaders[gmpNumLoaders] = {
    {"XM", detectXM, gmpLoadXM},
    {"S3M", detectS3M, gmpLoadS3M},
    {"IT", detectIT, gmpLoadIT},
    {"MOD", detectMOD, gmpLoadMOD},  // last: accepts every file
};

const ModuleLoader *gmpFindLoader(const uint8_t *head, size_t size)
{
    for (const ModuleLoader &l : gmpLoaders)
        if (l.detect(head, size))
            return &l;
    return &gmpLoaders[gmpNumLoaders - 1];
}
