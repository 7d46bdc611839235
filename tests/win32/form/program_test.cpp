// Kavrel.exe's file: its version resource and manifest. (The icon and the logo are
// proven where the window paints them.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "build_config.h"
#include "win32/system_function.h"

namespace {

TEST(ProgramFile, CarriesTheConfiguredVersionAndADpiAwareManifest) {
    wchar_t testPath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, testPath, MAX_PATH);
    const std::wstring test(testPath), path = test.substr(0, test.find_last_of(L"\\/") + 1) + L"Kavrel.exe";

    // The configured version, as text and as the fixed numbers (each half's more
    // significant 16-bit word second).
    DWORD ignored = 0;
    std::vector<char> version(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    void* text = nullptr;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\040904B0\\FileVersion", &text, &length));
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(text)), L"" KAVREL_VERSION_TEXT);
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD numbers[] = {KAVREL_VERSION_NUMBERS};
    EXPECT_EQ(fixed->dwFileVersionMS, numbers[0] << 16 | numbers[1]);
    EXPECT_EQ(fixed->dwFileVersionLS, numbers[2] << 16 | numbers[3]);

    const kavrel::win32::LibraryHandle file(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(file);
    // Declared aware of the real DPI (the window scales itself), for the
    // program's own processor and version.
    const HRSRC found = FindResourceW(file.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(file.get(), found))),
                               SizeofResource(file.get(), found));
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
    const std::string identity = std::string("version=\"" KAVREL_VERSION "\" processorArchitecture=\"") +
                                 (sizeof(void*) == 8 ? "amd64\"" : "x86\"");
    EXPECT_NE(manifest.find(identity), std::string::npos) << manifest;
}

}  // namespace
