// Messages as single printable lines: a file name may hold any byte but '/'
// and NUL, and what it holds must not end a message or start another.
#include "printable_line.h"

#include <gtest/gtest.h>

namespace taviron::cli {
namespace {

TEST(PrintableLineTest, ControlCharactersAreEscapedAndNothingElse) {
    EXPECT_EQ(PrintableLine("x\nopenjd_progress: 100.0\ny.####.png"), "x\\nopenjd_progress: 100.0\\ny.####.png");
    EXPECT_EQ(PrintableLine("a\rb\tc"), "a\\rb\\tc");
    EXPECT_EQ(PrintableLine(std::string("nul\0bell\a", 9) + "\x1b[2Jdel\x7f"), "nul\\x00bell\\x07\\x1b[2Jdel\\x7f");
    // Letters beyond ASCII stay as they are, byte for byte.
    EXPECT_EQ(PrintableLine("plan\xc3\xa8te \xe2\x80\x93 pr\xc3\xaa.exr"), "plan\xc3\xa8te \xe2\x80\x93 pr\xc3\xaa.exr");
    EXPECT_EQ(PrintableLine(""), "");
}

}  // namespace
}  // namespace taviron::cli
