// Error table, memory, file and utility services.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "sound/api/errors.h"
#include "sound/api/file.h"
#include "sound/api/midas.h"
#include "sound/api/mmem.h"
#include "sound/api/mutils.h"

namespace {

std::string tempPath(const char *tag)
{
    return std::string(::testing::TempDir()) + "q5_" + tag + "_" + std::to_string(getpid());
}

void writeFile(const std::string &path, const void *data, size_t n)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(data, 1, n, f), n);
    std::fclose(f);
}

}  // namespace

TEST(ErrorTable, HasFiftyTwoMessagesWithTheirNumbers)
{
    EXPECT_STREQ(errorMsg[errOK], "OK");
    EXPECT_STREQ(errorMsg[15], "Invalid module file");
    EXPECT_STREQ(errorMsg[29], "Unexpected end of file");
    EXPECT_STREQ(errorMsg[37], "Out of system resources");
    EXPECT_STREQ(errorMsg[49], "Couldn't load dsound.dll");
    EXPECT_STREQ(errorMsg[51], "Unsupported sample data format");
    for (int i = 0; i < errNumCodes; i++)
        EXPECT_GT(std::strlen(errorMsg[i]), 1u) << "code " << i;
}

static std::string lastExitMessage;
static void recordExit(const char *msg) { lastExitMessage = msg; }

TEST(ErrorExit, MidasErrorHandsPrefixedMessageToHook)
{
    midasSetErrorExit(recordExit);
    midasError(15);
    EXPECT_EQ(lastExitMessage, "MIDAS Error: Invalid module file");
    midasUninitError(21);
    EXPECT_EQ(lastExitMessage, "FATAL MIDAS uninitialization failure: Sound Device hardware failure");
    // A code outside the table must not read past it.
    midasError(400);
    EXPECT_EQ(lastExitMessage, "MIDAS Error: Undefined error");
    midasSetErrorExit(errErrorExit);
}

TEST(ErrorExit, DefaultHookPrintsAndExitsWithStatusOne)
{
    EXPECT_EXIT(errErrorExit("boom"), ::testing::ExitedWithCode(1), "boom");
}

TEST(Memory, ZeroSizeAndNullBlockAreInvalid)
{
    void *block = reinterpret_cast<void *>(0x1234);
    EXPECT_EQ(memAlloc(0, &block), errInvalidBlock);
    EXPECT_EQ(block, reinterpret_cast<void *>(0x1234)) << "a refused size leaves *block alone";
    EXPECT_EQ(memFree(nullptr), errInvalidBlock);
    ASSERT_EQ(memAlloc(16, &block), errOK);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xAB, 16);
    EXPECT_EQ(memFree(block), errOK);
}

TEST(Files, OpenErrorsAndModes)
{
    fileHandle f;
    EXPECT_EQ(fileOpen("/nonexistent/q5/none.xm", rfOpenRead, &f), errFileNotFound);
    std::string path = tempPath("modes");
    writeFile(path, "x", 1);
    EXPECT_EQ(fileOpen(path.c_str(), 0, &f), errInvalidArguments);
    EXPECT_EQ(fileOpen(path.c_str(), 4, &f), errInvalidArguments);
    ASSERT_EQ(fileOpen(path.c_str(), rfOpenRead, &f), errOK);
    EXPECT_EQ(fileSeek(f, 0, 0), errInvalidArguments);
    EXPECT_EQ(fileSeek(f, 0, 4), errInvalidArguments);
    EXPECT_EQ(fileClose(f), errOK);
    std::remove(path.c_str());
}

TEST(Files, ShortReadIsEndOfFileAndSizeKeepsPosition)
{
    std::string path = tempPath("short");
    char ten[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    writeFile(path, ten, sizeof ten);
    fileHandle f;
    ASSERT_EQ(fileOpen(path.c_str(), rfOpenRead, &f), errOK);
    char buf[48];
    ASSERT_EQ(fileRead(f, buf, 3), errOK);
    long size = 0, pos = 0;
    ASSERT_EQ(fileGetSize(f, &size), errOK);
    EXPECT_EQ(size, 10);
    ASSERT_EQ(fileGetPosition(f, &pos), errOK);
    EXPECT_EQ(pos, 3);
    ASSERT_EQ(fileSeek(f, 0, rfSeekAbsolute), errOK);
    EXPECT_EQ(fileRead(f, buf, 48), errEndOfFile);
    EXPECT_EQ(fileClose(f), errOK);
    std::remove(path.c_str());
}

TEST(Files, WriteThenReadBackAndExists)
{
    std::string path = tempPath("write");
    fileHandle f;
    ASSERT_EQ(fileOpen(path.c_str(), rfOpenWrite, &f), errOK);
    char data[5] = {'h', 'e', 'l', 'l', 'o'};
    ASSERT_EQ(fileWrite(f, data, 5), errOK);
    ASSERT_EQ(fileClose(f), errOK);
    int exists = -1;
    EXPECT_EQ(fileExists(path.c_str(), &exists), errOK);
    EXPECT_EQ(exists, 1);
    ASSERT_EQ(fileOpen(path.c_str(), rfOpenReadWrite, &f), errOK);
    ASSERT_EQ(fileSeek(f, -2, rfSeekEnd), errOK);
    char back[2];
    ASSERT_EQ(fileRead(f, back, 2), errOK);
    EXPECT_EQ(back[0], 'l');
    EXPECT_EQ(back[1], 'o');
    ASSERT_EQ(fileClose(f), errOK);
    std::remove(path.c_str());
    EXPECT_EQ(fileExists(path.c_str(), &exists), errOK);
    EXPECT_EQ(exists, 0);
}

TEST(Files, MemoryFilesReadLikeFiles)
{
    const unsigned char bytes[6] = {1, 2, 3, 4, 5, 6};
    fileHandle f;
    ASSERT_EQ(fileOpenMemory(bytes, sizeof bytes, &f), errOK);
    long size = 0;
    ASSERT_EQ(fileGetSize(f, &size), errOK);
    EXPECT_EQ(size, 6);
    unsigned char out[4];
    ASSERT_EQ(fileSeek(f, 2, rfSeekAbsolute), errOK);
    ASSERT_EQ(fileRead(f, out, 4), errOK);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[3], 6);
    EXPECT_EQ(fileRead(f, out, 1), errEndOfFile);
    ASSERT_EQ(fileClose(f), errOK);

    ASSERT_EQ(fileOpenMemory(nullptr, 0, &f), errOK);
    ASSERT_EQ(fileGetSize(f, &size), errOK);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(fileRead(f, out, 1), errEndOfFile);
    ASSERT_EQ(fileClose(f), errOK);
}

TEST(Utilities, NumberParsingAndMemory)
{
    EXPECT_EQ(mHex2Long("zz"), -1);
    EXPECT_EQ(mHex2Long("1f"), 31);
    EXPECT_EQ(mDec2Long("-12"), -12);
    EXPECT_EQ(mDec2Long("q"), -1);
    EXPECT_EQ(mMemEqual("abc", "abd", 2), 1);
    EXPECT_EQ(mMemEqual("abc", "abd", 3), 0);
    char buf[16];
    mStrCopy(buf, "ab");
    mStrAppend(buf, "cd");
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(mStrLength(buf), 4u);
}
