// The status line of play fits the terminal, dropping the meters first.
#include <gtest/gtest.h>

#include "statusline.h"

TEST(ModtoolStatusLine, FitsEveryWidthAndDropsMetersFirst)
{
    StatusFields f;
    f.position = 12, f.songLength = 140, f.pattern = 63, f.row = 48, f.speed = 6, f.tempo = 125;
    f.songTime = 754, f.duration = 3601, f.paused = true, f.looping = true;
    for (int c = 0; c < 32; c++)
        f.meters += "\u2585";
    const std::string full = statusLine(f, 500);
    EXPECT_EQ(columns(full), full.size() - 2 * 32) << "a bar is one column, three bytes";
    EXPECT_NE(full.find("12:34/60:01"), std::string::npos) << full;
    for (unsigned width = 0; width < 140; width++) {
        std::string line = statusLine(f, width);
        EXPECT_LE(columns(line), width ? width - 1 : 0) << width;
        bool hasMeters = line.find('[') != std::string::npos;
        // Wide enough for all but the meters: everything else is there.
        if (!hasMeters && width > columns(full) - 36) {
            EXPECT_NE(line.find("bpm 125"), std::string::npos) << width << ": " << line;
        }
        if (width >= 40) {
            EXPECT_NE(line.find("paused"), std::string::npos) << width << ": " << line;
        }
    }
    EXPECT_EQ(statusLine(f, 80).find('['), std::string::npos) << "32 meters do not fit in 80";
}
