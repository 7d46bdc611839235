// Kavrel.exe's file: version, manifest, icon and logo resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct LibraryFree {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};

std::wstring Widen(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

TEST(ProgramFile, CarriesVersionManifestIconAndLogo) {
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

    const std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFree> file(
        LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(file);
    const auto resource = [&](int id, int type) {
        const HRSRC found = FindResourceW(file.get(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
        if (!found) return std::string();
        return std::string(static_cast<const char*>(LockResource(LoadResource(file.get(), found))),
                           SizeofResource(file.get(), found));
    };
    // Declared aware of the real DPI: the window scales itself.
    EXPECT_NE(resource(1, 24).find("<dpiAware"), std::string::npos);
    // The window icon's image: a DIB of 32 pixels' width and 24 bits.
    const std::string image = resource(30001, 3);
    EXPECT_EQ(image.substr(4, 4), std::string("\x20\0\0\0", 4));
    EXPECT_EQ(image.substr(14, 2), std::string("\x18\0", 2));
    // The logo: a progressive JPEG (SOF2) of 50 x 40 with three components.
    const std::string logo = resource(101, 10);
    const auto frame = logo.find("\xFF\xC2");
    ASSERT_NE(frame, std::string::npos);
    EXPECT_EQ(logo.substr(frame + 5, 5), std::string("\0\x28\0\x32\3", 5));  // height 40, width 50, 3 components
}

}  // namespace
