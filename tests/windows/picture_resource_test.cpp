// The tool's picture as Windows keeps it: bitmap resource 101 of taviron.dll,
// in English (United Kingdom) only, and what the host hands out for it is
// that very resource.
#include "beside_program.h"

#include <contract/tool_ids.h>
#include <hostsdk/hostsdk.h>
#include <hostsdk/module.h>
#include <hostsdk/module_resources.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr WORD PictureID = 101;
constexpr LONG PictureWidth = 160;
constexpr LONG PictureHeight = 120;

class PictureResource : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = Module::Load(BesideProgram("taviron.dll"));
        handle_ = static_cast<HMODULE>(module_->Handle());
    }

    // The resource's bytes in the given language, empty when absent.
    ResourceBytes Resource(WORD language) const {
        HRSRC found = FindResourceExA(handle_, MAKEINTRESOURCEA(2) /* RT_BITMAP */, MAKEINTRESOURCEA(PictureID),
                                      language);
        if (found == nullptr) {
            return {};
        }
        HGLOBAL loaded = LoadResource(handle_, found);
        return {static_cast<const unsigned char*>(LockResource(loaded)), SizeofResource(handle_, found)};
    }

    std::unique_ptr<Module> module_;
    HMODULE handle_ = nullptr;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
    return TRUE;
}

TEST_F(PictureResource, OnlyInEnglishUnitedKingdom) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(handle_, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(PictureID), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{0x0809});
    EXPECT_EQ(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), 0x0809);
}

TEST_F(PictureResource, IsAnUncompressedBottomUp32BitBitmapWithOpaquePixels) {
    const ResourceBytes picture = Resource(0x0809);
    ASSERT_NE(picture.data, nullptr);
    ASSERT_GE(picture.size, sizeof(BITMAPINFOHEADER));

    BITMAPINFOHEADER header;
    std::memcpy(&header, picture.data, sizeof header);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, PictureWidth);
    EXPECT_EQ(header.biHeight, PictureHeight) << "rows must be stored bottom-up";
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 32);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));

    const size_t pixelCount = PictureWidth * PictureHeight;
    ASSERT_GE(picture.size, header.biSize + pixelCount * 4);
    const unsigned char* pixels = picture.data + header.biSize;
    size_t translucent = 0;
    for (size_t i = 0; i < pixelCount; ++i) {
        translucent += pixels[i * 4 + 3] != 255;  // BGRA
    }
    EXPECT_EQ(translucent, 0u);
}

TEST_F(PictureResource, HostHandsOutTheModulesOwnResource) {
    const ResourceBytes resource = Resource(0x0809);
    ASSERT_NE(resource.data, nullptr);

    Registry* record = ClassRegistry->Find(HostID(taviron::kToolClassID, true));
    ASSERT_NE(record, nullptr);
    const ResourceBytes picture = record->Picture();
    EXPECT_EQ(picture.data, resource.data);
    EXPECT_EQ(picture.size, resource.size);
}

TEST_F(PictureResource, HostFindsNoResourceThatIsNotThere) {
    Registry* record = ClassRegistry->Find(HostID(taviron::kToolClassID, true));
    ASSERT_NE(record, nullptr);
    const ResourceBytes missing = FindModuleResource(record, RESOURCE_BITMAP, PictureID + 1);
    EXPECT_EQ(missing.data, nullptr);
    EXPECT_EQ(missing.size, 0u);
}

}  // namespace
