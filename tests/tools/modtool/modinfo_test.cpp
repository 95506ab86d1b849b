// Header fields for modtool info, read from made-up headers: each offset
// and length is checked against the file's size.
#include <gtest/gtest.h>

#include <string>

#include "modinfo.h"

namespace {

void put16(std::string &b, size_t at, unsigned v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

}  // namespace

TEST(ModtoolModInfo, ItMessageVersionAndInstrumentMode)
{
    std::string it(0x100, '\0');
    it.replace(0, 4, "IMPM");
    put16(it, 0x28, 0x0214);  // created with
    put16(it, 0x2A, 0x0200);  // compatible with
    put16(it, 0x2C, 4);       // instruments
    put16(it, 0x2E, 1);       // message attached
    put16(it, 0x36, 12);
    put16(it, 0x38, 0xF0);
    it.replace(0xF0, 12, "one\rtwo\r\0xx", 12);
    ModuleContents c;
    readHeaderFields(it, "IT", &c);
    EXPECT_EQ(c.formatVersion, "2.00");
    EXPECT_EQ(c.tracker, "Impulse Tracker 2.14");
    EXPECT_TRUE(c.usesInstruments);
    EXPECT_EQ(c.message, "one\ntwo");
    // A message that would run past the end of the file is not read.
    put16(it, 0x36, 17);
    c = ModuleContents{};
    readHeaderFields(it, "IT", &c);
    EXPECT_EQ(c.message, "");
    c = ModuleContents{};
    readHeaderFields(it.substr(0, 0x30), "IT", &c);
    EXPECT_EQ(c.tracker, "");
}

TEST(ModtoolModInfo, ModSignatureAndS3mTracker)
{
    std::string mod(1084, '\0');
    mod.replace(1080, 4, "6CHN");
    ModuleContents c;
    readHeaderFields(mod, "MOD", &c);
    EXPECT_EQ(c.tracker, "FastTracker or TakeTracker (6CHN)");
    EXPECT_FALSE(c.usesInstruments);
    c = ModuleContents{};
    readHeaderFields(mod.substr(0, 600), "MOD", &c);
    EXPECT_EQ(c.tracker, "");
    std::string s3m(0x60, '\0');
    put16(s3m, 0x28, 0x1320);
    c = ModuleContents{};
    readHeaderFields(s3m, "S3M", &c);
    EXPECT_EQ(c.tracker, "Scream Tracker 3.20");
    EXPECT_EQ(jsonString("a\"\\\n\x01\xE9"), "\"a\\\"\\\\\\n\\u0001\\u00e9\"");
}
