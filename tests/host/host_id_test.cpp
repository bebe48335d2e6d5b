#include <hostsdk/host_id.h>
#include <hostsdk/ids.h>

#include <gtest/gtest.h>

#include <string>

TEST(HostID, EqualTextsGiveEqualIdentifiersWhereverTheyComeFrom) {
    std::string text = "Some.Identifier";
    const HostID fromString(text);
    const HostID fromChars("Some.Identifier", true);
    EXPECT_EQ(fromString, fromChars);
    EXPECT_NE(fromString, HostID("Some.Identifier2"));

    text[0] = 'X';  // the identifier keeps its own copy
    EXPECT_STREQ(fromString.Text(), "Some.Identifier");
}

TEST(HostID, EmptyTextIsTheEmptyIdentifier) {
    EXPECT_TRUE(HostID("").IsEmpty());
    EXPECT_TRUE(HostID(nullptr).IsEmpty());
    EXPECT_EQ(HostID(""), HostID());
    EXPECT_STREQ(HostID().Text(), "");
    EXPECT_FALSE(HostID("a").IsEmpty());
}

TEST(HostID, ConstantsCarryTheHostsNames) {
    EXPECT_STREQ(ID_Number.Text(), "Number");
    EXPECT_STREQ(ID_Point.Text(), "Point");
    EXPECT_STREQ(ID_Image.Text(), "Image");
    EXPECT_STREQ(ID_Mask.Text(), "Mask");
    EXPECT_STREQ(ID_CheckboxControl.Text(), "CheckboxControl");
    EXPECT_STREQ(ID_ComboControl.Text(), "ComboControl");
    EXPECT_STREQ(ID_MultiButtonControl.Text(), "MultiButtonControl");
    EXPECT_STREQ(ID_SliderControl.Text(), "SliderControl");
    EXPECT_STREQ(ID_ButtonControl.Text(), "ButtonControl");
    EXPECT_STREQ(ID_OffsetControl.Text(), "OffsetControl");
    EXPECT_STREQ(ID_CrosshairControl.Text(), "CrosshairControl");
    EXPECT_EQ(ID_Image, HostID("Image"));
}
