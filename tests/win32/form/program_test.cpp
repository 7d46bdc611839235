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
    std::string host = KAVREL_RATE_SERVICE;  // "http://127.0.0.1:8750" -> "127.0.0.1"
    host = host.substr(host.find("://") + 3);
    host = host.substr(0, host.find_first_of(":/"));
    const std::wstring description = L"A simple tool  for retrieving Currency Rates from " + Widen(host);
    const std::pair<const wchar_t*, std::wstring> entries[] = {
        {L"Comments", description},           {L"FileDescription", description},  {L"FileVersion", L"1.00.0001"},
        {L"ProductVersion", L"1.00.0001"},    {L"ProductName", L"Kavrel"},        {L"InternalName", L"Kavrel"},
        {L"OriginalFilename", L"Kavrel.exe"}, {L"CompanyName", L"The Kavrel authors"},
    };
    for (const auto& [name, value] : entries) EXPECT_EQ(entry(L"\\StringFileInfo\\040904B0\\" + std::wstring(name)), value);
    for (const wchar_t* legal : {L"LegalCopyright", L"LegalTrademarks"}) {
        const std::wstring text = entry(L"\\StringFileInfo\\040904B0\\" + std::wstring(legal));
        EXPECT_NE(text.find(L"The Kavrel authors"), std::wstring::npos) << legal;
        EXPECT_NE(text.find(Widen(KAVREL_MAKER_SITE)), std::wstring::npos) << legal;
    }
    const std::wstring fixed = entry(L"\\");  // VS_FIXEDFILEINFO, read as 16-bit words
    ASSERT_EQ(fixed.size(), sizeof(VS_FIXEDFILEINFO) / 2);
    EXPECT_EQ(fixed.substr(4, 8), (std::wstring{0, 1, 1, 0, 0, 1, 1, 0}));  // file and product version 1.0.0.1
    EXPECT_EQ(fixed.substr(16, 6), (std::wstring{VOS__WINDOWS32, 0, VFT_APP, 0, 0, 0}));
    EXPECT_EQ(entry(L"\\VarFileInfo\\Translation"), (std::wstring{0x0409, 0x04B0}));

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
    const auto word = [](const std::string& bytes, std::size_t at) {
        return bytes.size() < at + 2 ? -1 : static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
    };
    // Icon group 1: one image of 32 x 32 pixels and 24 bits, number 30001, a DIB of that width and depth.
    const std::string group = resource(1, 14), image = resource(30001, 3);
    EXPECT_EQ(group.size(), 6u + 14u);
    EXPECT_EQ(word(group, 4), 1);
    EXPECT_EQ(word(group, 6), 32 | 32 << 8);
    EXPECT_EQ(word(group, 12), 24);
    EXPECT_EQ(word(group, 18), 30001);
    EXPECT_EQ(word(image, 4), 32);
    EXPECT_EQ(word(image, 14), 24);
    // The logo: a progressive JPEG (SOF2) of 50 x 40 with three components.
    const std::string logo = resource(101, 10);
    const auto frame = logo.find("\xFF\xC2");
    ASSERT_NE(frame, std::string::npos);
    EXPECT_EQ(logo.substr(frame + 5, 5), std::string("\0\x28\0\x32\3", 5));  // height 40, width 50, 3 components
}

}  // namespace
