#include <hostsdk/ids.h>
#include <hostsdk/registry.h>
#include <hostsdk/tag_list.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace {

std::string ErrorOf(void (*build)()) {
    try {
        build();
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "no error";
}

bool SomeInit(Registry*) { return true; }

}  // namespace

TEST(TagList, KeepsEveryKindOfValueInOrder) {
    int anchor = 0;
    const TagList tags(TAG_LinkDataType, ID_Number,
                       TAG_Default, 0.25,
                       TAG_LinkRole, 3,
                       TAG_Item, "Median",
                       TAG_Item, "Average",
                       TAG_ImageLike, &anchor,
                       TAG_DONE);
    ASSERT_EQ(tags.Size(), 6u);
    EXPECT_EQ(tags[0].tag, TAG_LinkDataType);
    EXPECT_EQ(tags.GetID(TAG_LinkDataType), ID_Number);
    EXPECT_EQ(tags.GetDouble(TAG_Default, -1.0), 0.25);
    EXPECT_EQ(tags.GetInteger(TAG_LinkRole, -1), 3);
    EXPECT_STREQ(tags.GetString(TAG_Item, ""), "Median");
    EXPECT_EQ(tags.GetStrings(TAG_Item), (std::vector<std::string>{"Median", "Average"}));
    EXPECT_EQ(tags.GetPointer(TAG_ImageLike), &anchor);
}

TEST(TagList, MissingTagsGiveTheFallback) {
    const TagList tags(TAG_LinkRole, 1, TAG_DONE);
    EXPECT_EQ(tags.Find(TAG_Default), nullptr);
    EXPECT_EQ(tags.GetDouble(TAG_Default, 7.5), 7.5);
    EXPECT_STREQ(tags.GetString(TAG_Item, "none"), "none");
    EXPECT_EQ(tags.GetPointer(TAG_ImageLike), nullptr);
    EXPECT_TRUE(tags.GetID(TAG_Control).IsEmpty());
    EXPECT_TRUE(tags.GetStrings(TAG_Item).empty());
}

TEST(TagList, IntegralValueUnderADoubleTagBecomesADouble) {
    const TagList tags(TAG_RangeMax, 250, TAG_DONE);
    EXPECT_EQ(tags.GetDouble(TAG_RangeMax, 0.0), 250.0);
}

TEST(TagList, StringsAreCopied) {
    std::string item = "Backward";
    TagList tags(TAG_Item, item.c_str(), TAG_DONE);
    item = "Overwritten and longer than the small-string buffer";
    EXPECT_STREQ(tags.GetString(TAG_Item, ""), "Backward");
}

TEST(TagList, FunctionPointersTravelAsPointers) {
    const TagList tags(REG_InitFunc, SomeInit, TAG_DONE);
    EXPECT_EQ(reinterpret_cast<RegInitFunc>(const_cast<void*>(tags.GetPointer(REG_InitFunc))), &SomeInit);
}

TEST(TagList, ValueOfTheWrongKindIsRejectedNamingTheTag) {
    EXPECT_NE(ErrorOf([] { TagList(TAG_Default, "one", TAG_DONE); }).find("0x20030004"), std::string::npos);
    EXPECT_NE(ErrorOf([] { TagList(TAG_LinkRole, 1.0, TAG_DONE); }).find("0x10020001"), std::string::npos);
    EXPECT_NE(ErrorOf([] { TagList(TAG_LinkDataType, "Number", TAG_DONE); }).find("0x88020000"),
              std::string::npos);
    EXPECT_NE(ErrorOf([] { TagList(TAG_Item, 3, TAG_DONE); }).find("0x38040000"), std::string::npos);
    EXPECT_NE(ErrorOf([] { TagList(TAG_ImageLike, ID_Image, TAG_DONE); }).find("0x60020000"), std::string::npos);
    EXPECT_THROW(TagList().AddDouble(TAG_LinkRole, 1.0), std::invalid_argument);
}

TEST(TagList, ReadingATagAsTheWrongKindIsRejected) {
    const TagList tags(TAG_Default, 1.0, TAG_DONE);
    EXPECT_THROW(tags.GetInteger(TAG_Default, 0), std::invalid_argument);
    EXPECT_THROW(tags.GetString(TAG_Default, ""), std::invalid_argument);
}

TEST(TagList, IntegerOutsideThirtyTwoBitsIsRejected) {
    EXPECT_THROW(TagList(TAG_LinkRole, 1LL << 40, TAG_DONE), std::invalid_argument);
    EXPECT_THROW(TagList(TAG_LinkRole, static_cast<long long>(INT32_MAX) + 1, TAG_DONE), std::invalid_argument);
    EXPECT_THROW(TagList(TAG_LinkRole, static_cast<long long>(INT32_MIN) - 1, TAG_DONE), std::invalid_argument);
    EXPECT_EQ(TagList(TAG_LinkRole, static_cast<long long>(INT32_MAX), TAG_DONE).GetInteger(TAG_LinkRole, 0), INT32_MAX);
    EXPECT_EQ(TagList(TAG_LinkRole, static_cast<long long>(INT32_MIN), TAG_DONE).GetInteger(TAG_LinkRole, 0), INT32_MIN);
}

TEST(TagList, ListMustEndWithZero) {
    EXPECT_THROW(TagList(TAG_Default, 1.0, TAG_LinkRole), std::invalid_argument);
    EXPECT_NO_THROW(TagList(TAG_Default, 1.0, TAG_DONE));
}
