// The host library's messages: values go into the slots in order, and
// numbers read the same whatever locale the program made global.
#include "format_text.h"

#include <gtest/gtest.h>

#include <locale>
#include <string>

namespace {

// Groups digits in threes with a dot, as many national locales do.
class GroupingInThrees : public std::numpunct<char> {
protected:
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

// Makes `locale` the program's global locale for the test's lifetime.
class GlobalLocale {
public:
    explicit GlobalLocale(const std::locale& locale) : previous_(std::locale::global(locale)) {}
    ~GlobalLocale() { std::locale::global(previous_); }

private:
    std::locale previous_;
};

TEST(FormatText, FillsTheSlotsInOrderAndKeepsTheTextAround) {
    EXPECT_EQ(FormatText("pixel ({}, {}) outside the image of {} x {}", -1, 0, 1920, 1080),
              "pixel (-1, 0) outside the image of 1920 x 1080");
    EXPECT_EQ(FormatText("cannot load module \"{}\": {}", std::string("a{}b.so"), "no such file"),
              "cannot load module \"a{}b.so\": no such file");
    EXPECT_EQ(FormatText("no slots"), "no slots");
    EXPECT_EQ(FormatText("{}{}", 4294967295u, -2147483647 - 1), "4294967295-2147483648");
}

TEST(FormatText, NumbersIgnoreTheProgramsGlobalLocale) {
    const GlobalLocale grouping(std::locale(std::locale::classic(), new GroupingInThrees));
    EXPECT_EQ(FormatText("image size {} x {} is negative", -1234567, 1080), "image size -1234567 x 1080 is negative");
}

}  // namespace
