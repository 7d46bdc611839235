// Kavrel.exe's file: its version resource and manifest. (The icon and the logo are
// proven where the window paints them.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "win32/form/wide_text.h"
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
    // Configured: the rate service's host, the maker's site, the project's version.
    std::string host = KAVREL_RATE_SERVICE;  // "http://127.0.0.1:8750" -> "127.0.0.1"
    host = host.substr(host.find("://") + 3);
    host = host.substr(0, host.find_first_of(":/"));
    const std::wstring strings = L"\\StringFileInfo\\040904B0\\";
    EXPECT_EQ(entry(strings + L"FileDescription"), L"A simple tool  for retrieving Currency Rates from " + Widen(host));
    EXPECT_EQ(entry(strings + L"FileVersion"), L"1.00.0001");
    EXPECT_NE(entry(strings + L"LegalCopyright").find(Widen(KAVREL_MAKER_SITE)), std::wstring::npos);
    const std::wstring fixed = entry(L"\\");  // VS_FIXEDFILEINFO as 16-bit words
    ASSERT_EQ(fixed.size(), sizeof(VS_FIXEDFILEINFO) / 2);
    EXPECT_EQ(fixed.substr(4, 8), (std::wstring{0, 1, 1, 0, 0, 1, 1, 0}));  // file and product version 1.0.0.1

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
    EXPECT_NE(manifest.find("version=\"1.0.0.1\" processorArchitecture=\"" + processor + "\""), std::string::npos)
        << manifest;
}

}  // namespace
