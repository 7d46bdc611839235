// Kavrel.exe's file: version, icon, logo and manifest resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "form_fixture.h"

namespace kavrel::win32::testing {
namespace {

struct LibraryFree {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"Kavrel.exe";
}

TEST(ProgramFile, CarriesVersionIconLogoAndManifest) {
    DWORD ignored = 0;
    const std::wstring path = ProgramPath();
    std::vector<char> version(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    auto entry = [&](const std::wstring& name) {
        wchar_t* value = nullptr;
        UINT length = 0;
        const std::wstring key = L"\\StringFileInfo\\040904B0\\" + name;
        if (!VerQueryValueW(version.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) return std::wstring();
        return std::wstring(value);
    };
    std::string host = KAVREL_RATE_SERVICE;  // "http://127.0.0.1:8750" -> "127.0.0.1"
    host = host.substr(host.find("://") + 3);
    host = host.substr(0, host.find_first_of(":/"));
    const std::wstring description = L"A simple tool  for retrieving Currency Rates from " +
                                     std::wstring(host.begin(), host.end());
    const std::pair<const wchar_t*, std::wstring> entries[] = {
        {L"Comments", description},       {L"FileDescription", description},  {L"FileVersion", L"1.00.0001"},
        {L"ProductVersion", L"1.00.0001"}, {L"ProductName", L"Kavrel"},        {L"InternalName", L"Kavrel"},
        {L"OriginalFilename", L"Kavrel.exe"}, {L"CompanyName", L"The Kavrel authors"},
    };
    for (const auto& [name, value] : entries) EXPECT_EQ(entry(name), value) << name;
    const std::string site = KAVREL_MAKER_SITE;
    for (const wchar_t* legal : {L"LegalCopyright", L"LegalTrademarks"}) {
        EXPECT_NE(entry(legal).find(L"The Kavrel authors"), std::wstring::npos) << legal;
        EXPECT_NE(entry(legal).find(std::wstring(site.begin(), site.end())), std::wstring::npos) << legal;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);

    const std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFree> file(
        LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(file);
    auto resource = [&](int id, int type) -> std::pair<const unsigned char*, DWORD> {
        const HRSRC found = FindResourceW(file.get(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
        if (!found) return {nullptr, 0};
        return {static_cast<const unsigned char*>(LockResource(LoadResource(file.get(), found))),
                SizeofResource(file.get(), found)};
    };
    // Declared aware of the real DPI: the window scales itself.
    const auto [manifest, manifestSize] = resource(1, 24);
    ASSERT_NE(manifest, nullptr);
    EXPECT_NE(std::string(reinterpret_cast<const char*>(manifest), manifestSize).find("<dpiAware"), std::string::npos);

    // Icon group 1: one 32 x 32, 24-bit image with the number 30001.
    const auto [group, groupSize] = resource(1, 14);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(groupSize, 6u + 14u);
    auto word = [](const unsigned char* at) { return static_cast<unsigned>(at[0] | (at[1] << 8)); };
    EXPECT_EQ(word(group + 4), 1u);
    EXPECT_EQ(group[6], 32);
    EXPECT_EQ(group[7], 32);
    EXPECT_EQ(word(group + 12), 24u);
    EXPECT_EQ(word(group + 18), 30001u);
    const auto [image, imageSize] = resource(30001, 3);
    ASSERT_NE(image, nullptr);
    BITMAPINFOHEADER header{};
    std::memcpy(&header, image, sizeof header);
    EXPECT_EQ(header.biWidth, 32);
    EXPECT_EQ(header.biBitCount, 24);

    // The logo: a progressive JPEG (SOF2) of 50 x 40 with three components.
    const auto [logo, logoSize] = resource(101, 10);
    ASSERT_NE(logo, nullptr);
    const std::string bytes(reinterpret_cast<const char*>(logo), logoSize);
    const auto frame = bytes.find("\xFF\xC2");
    ASSERT_NE(frame, std::string::npos);
    const auto* start = reinterpret_cast<const unsigned char*>(bytes.data() + frame);
    EXPECT_EQ((start[5] << 8) | start[6], 40);  // height
    EXPECT_EQ((start[7] << 8) | start[8], 50);  // width
    EXPECT_EQ(start[9], 3);
}

}  // namespace
}  // namespace kavrel::win32::testing
