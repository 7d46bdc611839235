#include "retrieval/local_service.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(LocalService, LoopbackHostsGiveTheirAddressAndPortAndEveryOtherAddressNone) {
    // clang-format off
    const std::pair<std::u16string_view, std::optional<LocalService>> cases[] = {
        {u"http://127.0.0.1:8750", LocalService{u"127.0.0.1", 8750}},
        {u"HTTP://LocalHost", LocalService{u"127.0.0.1", 80}},
        {u"http://[::1]:65535/rates?x", LocalService{u"::1", 65535}},
        {u"http://127.255.0.9:1/", LocalService{u"127.255.0.9", 1}},
        {u"http://rates.example:8750", std::nullopt},  {u"https://127.0.0.1:8750", std::nullopt},
        {u"http://128.0.0.1", std::nullopt},           {u"http://127.0.0.256", std::nullopt},
        {u"http://127.0.0", std::nullopt},             {u"http://127.0.0.01", std::nullopt},
        {u"http://localhost.example", std::nullopt},   {u"http://[::2]:80", std::nullopt},
        {u"http://me@127.0.0.1", std::nullopt},        {u"http://127.0.0.1:0", std::nullopt},
        {u"http://127.0.0.1:65536", std::nullopt},     {u"http://127.0.0.1:87a0", std::nullopt},
        {u"http://127.0.0.1:", std::nullopt},
    };
    // clang-format on
    for (const auto& [url, service] : cases)
        EXPECT_EQ(LocalServiceOf(url), service) << std::string(url.begin(), url.end());
}

}  // namespace
}  // namespace kavrel
