#include "rate_table.h"

#include <gtest/gtest.h>

#include <string>

#include "core/run_time_error.h"
#include "options.h"

namespace kavrel::rates {
namespace {

const std::string kHeader = "code,usd_value,date,source\n";

TEST(RateTable, ReadsRowsAndFindsCodesInAnyCase) {
    const auto table =
        RateTable::parse(kHeader + "USD,1,2022-09-05,base\r\nEUR,0.99,2022-09-05,units\n\nXPD,1567,2023-03-31,fixed\n");
    ASSERT_EQ(table.rates().size(), 3u);
    EXPECT_EQ(table.mostCommonDate(), "2022-09-05");
    ASSERT_NE(table.find("eur"), nullptr);
    EXPECT_DOUBLE_EQ(table.find("eur")->usdValue, 0.99);
    EXPECT_EQ(table.find("Usd")->source, "base");
    EXPECT_EQ(table.find("GBP"), nullptr);
    EXPECT_EQ(table.find(""), nullptr);
}

TEST(RateTable, RefusesMalformedTablesNamingTheLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 0"},
        {kHeader, "no rate"},
        {"code,value\nUSD,1,2022-09-05,x\n", "line 1"},
        {kHeader + "USD,1,2022-09-05\n", "line 2"},
        {kHeader + "USD,1,2022-09-05,a,b\n", "line 2"},
        {kHeader + "usd,1,2022-09-05,x\n", "code"},
        {kHeader + "US,1,2022-09-05,x\n", "code"},
        {kHeader + "USD,0,2022-09-05,x\n", "usd_value"},
        {kHeader + "USD,inf,2022-09-05,x\n", "usd_value"},
        {kHeader + "USD,1x,2022-09-05,x\n", "usd_value"},
        {kHeader + "USD,1,5.9.2022,x\n", "date"},
        {kHeader + "USD,1,2022-09-05,\"x\"\n", "quoted"},
        {kHeader + "USD,1,2022-09-05,x\nEUR,1,2022-09-05,x\nUSD,1,2022-09-05,y\n", "line 4: code USD repeated"},
    };
    for (const auto& [csv, expected] : cases) {
        try {
            RateTable::parse(csv);
            ADD_FAILURE() << "accepted: " << csv;
        } catch (const RunTimeError& error) {
            EXPECT_EQ(error.kind(), ErrorKind::InvalidArgument);
            EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
        }
    }
    EXPECT_THROW(RateTable::load("/nonexistent/rates.csv"), RunTimeError);
}

TEST(ShippedTable, KeepsThePegsAndFixedConversions) {
    const RateTable shipped = RateTable::load(parseOptions({}).ratesFile);
    const auto usd = [&](const char* code) { return shipped.find(code)->usdValue; };
    for (const char* cfa : {"XOF", "XAF", "BCEAO", "BEAC"}) EXPECT_NEAR(usd("EUR") / usd(cfa), 655.957, 1e-9) << cfa;
    const std::pair<const char*, double> perEuro[] = {{"CYP", 0.585274}, {"EEK", 15.6466}, {"MTL", 0.4293},
                                                      {"SKK", 30.126},   {"SIT", 239.64},  {"LVL", 0.702804},
                                                      {"LTL", 3.4528}};
    for (const auto& [code, units] : perEuro) EXPECT_NEAR(usd("EUR") / usd(code), units, units * 1e-12) << code;
    const std::tuple<const char*, const char*, double> successors[] = {
        {"ROL", "RON", 1e4}, {"GHC", "GHS", 1e4}, {"MZM", "MZN", 1e3}, {"BYR", "BYN", 1e4},
        {"MRO", "MRU", 10},  {"ZMK", "ZMW", 1e3}, {"STD", "STN", 1e3}, {"VEB", "VES", 1e14}};
    for (const auto& [old, current, factor] : successors)
        EXPECT_NEAR(usd(current) / usd(old), factor, factor * 1e-12) << old;
    EXPECT_DOUBLE_EQ(usd("USD"), 1.0);
}

}  // namespace
}  // namespace kavrel::rates
