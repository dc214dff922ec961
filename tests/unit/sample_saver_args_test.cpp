// The sample screen saver's command line in every form Windows and its control panel use.
#include <gtest/gtest.h>
#include "sample/saver_args.h"

namespace {

TEST(SampleSaverArgs, EveryFormWindowsSends)
{
    struct Case {
        const char *arguments;
        SaverMode mode;
        uint64_t window;
    } cases[] = {
        {"", SaverSettings, 0},
        {"   ", SaverSettings, 0},
        {"/s", SaverFullScreen, 0},
        {"/S", SaverFullScreen, 0},
        {"-s", SaverFullScreen, 0},
        {" /s ", SaverFullScreen, 0},
        {"/p 1234", SaverPreview, 1234},
        {"/P 1234", SaverPreview, 1234},
        {"/p:1234", SaverPreview, 1234},
        {"-p\t 66042", SaverPreview, 66042},
        {"/p", SaverPreview, 0},
        {"/p x", SaverPreview, 0},
        {"/c", SaverSettings, 0},
        {"/c:1234", SaverSettings, 1234},
        {"/C 99", SaverSettings, 99},
        {"/a 5", SaverPassword, 5},
        {"\"/s\"", SaverFullScreen, 0},
        {"/p 18446744073709551615", SaverPreview, UINT64_MAX},
        {"/p 18446744073709551616", SaverPreview, 0},  // too large for any window
        {"/save", SaverSettings, 0},
        {"/x", SaverSettings, 0},
        {"s", SaverSettings, 0},
        {"/", SaverSettings, 0},
    };
    for (const Case &c : cases) {
        SaverArgs args = ParseSaverArgs(c.arguments);
        EXPECT_EQ(args.mode, c.mode) << '"' << c.arguments << '"';
        EXPECT_EQ(args.window, c.window) << '"' << c.arguments << '"';
    }
}

}  // namespace
