// Kavrel.exe's file: its version resource and manifest. (The icon and the logo are
// proven where the window paints them.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "build_config.h"
#include "core/text.h"
#include "win32/wide_text.h"
#include "win32/system_function.h"

namespace {

std::wstring Widen(std::string_view ascii) { return kavrel::win32::Wide(kavrel::text::widenAscii(ascii)); }

TEST(ProgramFile, CarriesTheConfiguredVersionAndADpiAwareManifest) {
    wchar_t testPath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, testPath, MAX_PATH);
    std::wstring path(testPath);
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"Kavrel.exe";

    DWORD ignored = 0;
    std::vector<char> version(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    const auto entry = [&](const std::wstring& key) -> std::wstring {
        wchar_t* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(version.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) return L"?";
        return key.starts_with(L"\\StringFileInfo") ? value : std::wstring(value, length / sizeof(wchar_t));
    };
    // As configured: build_config.h holds what the resources were made from.
    const std::wstring strings = L"\\StringFileInfo\\040904B0\\";
    EXPECT_EQ(entry(strings + L"FileDescription"), Widen(KAVREL_DESCRIPTION));
    EXPECT_EQ(entry(strings + L"FileVersion"), Widen(KAVREL_VERSION_TEXT));
    EXPECT_NE(entry(strings + L"LegalCopyright").find(Widen(KAVREL_CONFIGURED_MAKER_SITE)), std::wstring::npos);
    const std::wstring fixed = entry(L"\\");  // VS_FIXEDFILEINFO as 16-bit words
    ASSERT_EQ(fixed.size(), sizeof(VS_FIXEDFILEINFO) / 2);
    const wchar_t numbers[] = {KAVREL_VERSION_NUMBERS};  // each half's more significant word second
    EXPECT_EQ(fixed.substr(4, 4), (std::wstring{numbers[1], numbers[0], numbers[3], numbers[2]}));  // file
    EXPECT_EQ(fixed.substr(8, 4), fixed.substr(4, 4));                                                // product

    const kavrel::win32::LibraryHandle file(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(file);
    // Declared aware of the real DPI (the window scales itself), for the
    // program's own processor and version.
    const HRSRC found = FindResourceW(file.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(file.get(), found))),
                               SizeofResource(file.get(), found));
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
    const std::string processor = sizeof(void*) == 8 ? "amd64" : "x86";
    EXPECT_NE(manifest.find("version=\"" KAVREL_VERSION "\" processorArchitecture=\"" + processor + "\""), std::string::npos)
        << manifest;
}

}  // namespace
