#include "input/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "retrieval/request.h"

namespace kavrel {
namespace {

// The catalogue as users know it, kept here as name and code apart; the two
// CFA francs carry their qualifier as the code and the trailing code in the name check.
struct Entry {
    std::u16string_view name, code;
};
constexpr Entry kExpected[] = {
    {u"Albanian Lek", u"ALL"}, {u"Algerian Dinar", u"DZD"}, {u"Aluminium Ounces", u"XAL"},
    {u"Argentine Peso", u"ARS"}, {u"Aruba Florin", u"AWG"}, {u"Australian Dollar", u"AUD"},
    {u"Bahamian Dollar", u"BSD"}, {u"Bahraini Dinar", u"BHD"}, {u"Bangladesh Taka", u"BDT"},
    {u"Barbados Dollar", u"BBD"}, {u"Belarus Ruble", u"BYR"}, {u"Belize Dollar", u"BZD"}, {u"Bermuda Dollar", u"BMD"},
    {u"Bhutan Ngultrum", u"BTN"}, {u"Bolivian Boliviano", u"BOB"}, {u"Brazilian Real", u"BRL"},
    {u"British Pound", u"GBP"}, {u"Brunei Dollar", u"BND"}, {u"Bulgarian Lev", u"BGN"}, {u"Burundi Franc", u"BIF"},
    {u"Cambodia Riel", u"KHR"}, {u"Canadian Dollar", u"CAD"}, {u"Cayman Islands Dollar", u"KYD"},
    {u"CFA Franc", u"BCEAO"}, {u"CFA Franc", u"BEAC"}, {u"Chilean Peso", u"CLP"}, {u"Chinese Yuan", u"CNY"},
    {u"Colombian Peso", u"COP"}, {u"Comoros Franc", u"KMF"}, {u"Copper Ounces", u"XCP"},
    {u"Costa Rica Colon", u"CRC"}, {u"Croatian Kuna", u"HRK"}, {u"Cuban Peso", u"CUP"}, {u"Cyprus Pound", u"CYP"},
    {u"Czech Koruna", u"CZK"}, {u"Danish Krone", u"DKK"}, {u"Dijibouti Franc", u"DJF"}, {u"Dominican Peso", u"DOP"},
    {u"East Caribbean Dollar", u"XCD"}, {u"Ecuador Sucre", u"ECS"}, {u"Egyptian Pound", u"EGP"},
    {u"El Salvador Colon", u"SVC"}, {u"Eritrea Nakfa", u"ERN"}, {u"Estonian Kroon", u"EEK"},
    {u"Ethiopian Birr", u"ETB"}, {u"Euro", u"EUR"}, {u"Falkland Islands Pound", u"FKP"}, {u"Gambian Dalasi", u"GMD"},
    {u"Ghanian Cedi", u"GHC"}, {u"Gibraltar Pound", u"GIP"}, {u"Gold Ounces", u"XAU"}, {u"Guatemala Quetzal", u"GTQ"},
    {u"Guinea Franc", u"GNF"}, {u"Haiti Gourde", u"HTG"}, {u"Honduras Lempira", u"HNL"},
    {u"Hong Kong Dollar", u"HKD"}, {u"Hungarian Forint", u"HUF"}, {u"Iceland Krona", u"ISK"},
    {u"Indian Rupee", u"INR"}, {u"Indonesian Rupiah", u"IDR"}, {u"Iran Rial", u"IRR"}, {u"Israeli Shekel", u"ILS"},
    {u"Jamaican Dollar", u"JMD"}, {u"Japanese Yen", u"JPY"}, {u"Jordanian Dinar", u"JOD"},
    {u"Kazakhstan Tenge", u"KZT"}, {u"Kenyan Shilling", u"KES"}, {u"Korean Won", u"KRW"}, {u"Kuwaiti Dinar", u"KWD"},
    {u"Lao Kip", u"LAK"}, {u"Latvian Lat", u"LVL"}, {u"Lebanese Pound", u"LBP"}, {u"Lesotho Loti", u"LSL"},
    {u"Libyan Dinar", u"LYD"}, {u"Lithuanian Lita", u"LTL"}, {u"Macau Pataca", u"MOP"}, {u"Macedonian Denar", u"MKD"},
    {u"Malagasy Franc", u"MGF"}, {u"Malawi Kwacha", u"MWK"}, {u"Malaysian Ringgit", u"MYR"},
    {u"Maldives Rufiyaa", u"MVR"}, {u"Maltese Lira", u"MTL"}, {u"Mauritania Ougulya", u"MRO"},
    {u"Mauritius Rupee", u"MUR"}, {u"Mexican Peso", u"MXN"}, {u"Moldovan Leu", u"MDL"}, {u"Mongolian Tugrik", u"MNT"},
    {u"Moroccan Dirham", u"MAD"}, {u"Mozambique Metical", u"MZM"}, {u"Namibian Dollar", u"NAD"},
    {u"Nepalese Rupee", u"NPR"}, {u"Neth Antilles Guilder", u"ANG"}, {u"New Turkish Lira", u"TRY"},
    {u"New Zealand Dollar", u"NZD"}, {u"Nicaragua Cordoba", u"NIO"}, {u"Nigerian Naira", u"NGN"},
    {u"Norwegian Krone", u"NOK"}, {u"Omani Rial", u"OMR"}, {u"Pacific Franc", u"XPF"}, {u"Pakistani Rupee", u"PKR"},
    {u"Palladium Ounces", u"XPD"}, {u"Panama Balboa", u"PAB"}, {u"Papua New Guinea Kina", u"PGK"},
    {u"Paraguayan Guarani", u"PYG"}, {u"Peruvian Nuevo Sol", u"PEN"}, {u"Philippine Peso", u"PHP"},
    {u"Platinum Ounces", u"XPT"}, {u"Polish Zloty", u"PLN"}, {u"Qatar Rial", u"QAR"}, {u"Romanian Leu", u"ROL"},
    {u"Romanian New Leu", u"RON"}, {u"Russian Rouble", u"RUB"}, {u"Rwanda Franc", u"RWF"}, {u"Samoa Tala", u"WST"},
    {u"Sao Tome Dobra", u"STD"}, {u"Saudi Arabian Riyal", u"SAR"}, {u"Seychelles Rupee", u"SCR"},
    {u"Sierra Leone Leone", u"SLL"}, {u"Silver Ounces", u"XAG"}, {u"Singapore Dollar", u"SGD"},
    {u"Slovak Koruna", u"SKK"}, {u"Slovenian Tolar", u"SIT"}, {u"Somali Shilling", u"SOS"},
    {u"South African Rand", u"ZAR"}, {u"Sri Lanka Rupee", u"LKR"}, {u"St Helena Pound", u"SHP"},
    {u"Sudanese Dinar", u"SDD"}, {u"Surinam Guilder", u"SRG"}, {u"Swaziland Lilageni", u"SZL"},
    {u"Swedish Krona", u"SEK"}, {u"Swiss Franc", u"CHF"}, {u"Syrian Pound", u"SYP"}, {u"Taiwan Dollar", u"TWD"},
    {u"Tanzanian Shilling", u"TZS"}, {u"Thai Baht", u"THB"}, {u"Tonga Pa'anga", u"TOP"},
    {u"Trinidad&Tobago Dollar", u"TTD"}, {u"Tunisian Dinar", u"TND"}, {u"U.S. Dollar", u"USD"},
    {u"UAE Dirham", u"AED"}, {u"Ugandan Shilling", u"UGX"}, {u"Ukraine Hryvnia", u"UAH"},
    {u"Uruguayan New Peso", u"UYU"}, {u"Vanuatu Vatu", u"VUV"}, {u"Venezuelan Bolivar", u"VEB"},
    {u"Vietnam Dong", u"VND"}, {u"Yemen Riyal", u"YER"}, {u"Zambian Kwacha", u"ZMK"}, {u"Zimbabwe Dollar", u"ZWD"},
};

std::u16string displayText(std::size_t position) {
    const auto& entry = kExpected[position];
    if (position == 23) return u"CFA Franc (BCEAO) (XOF)";
    if (position == 24) return u"CFA Franc (BEAC) (XAF)";
    return std::u16string(entry.name) + u" (" + std::u16string(entry.code) + u")";
}

TEST(CurrencyCatalogue, HoldsEveryEntryLetterForLetterInOrder) {
    ASSERT_EQ(std::size(kExpected), CurrencyCatalogue.size());
    for (std::size_t i = 0; i < CurrencyCatalogue.size(); ++i)
        EXPECT_EQ(CurrencyCatalogue[i], displayText(i)) << "position " << i;
    EXPECT_EQ(CurrencyCatalogue[kDefaultFromPosition], u"Albanian Lek (ALL)");
    EXPECT_EQ(CurrencyCatalogue[kDefaultToPosition], u"Algerian Dinar (DZD)");
}

TEST(CurrencyCatalogue, EveryEntryYieldsADistinctCode) {
    std::set<std::u16string> codes;
    for (std::size_t i = 0; i < CurrencyCatalogue.size(); ++i) {
        const auto code = extractCode(CurrencyCatalogue[i]);
        EXPECT_EQ(code, kExpected[i].code) << "position " << i;
        codes.insert(code);
    }
    EXPECT_EQ(codes.size(), CurrencyCatalogue.size());
}

TEST(CurrencyCatalogue, IsOrderedIgnoringCaseWithPunctuationFirst) {
    const auto key = [](std::u16string_view text) {
        std::u16string folded(text);
        for (auto& c : folded)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        return folded;
    };
    for (std::size_t i = 1; i < CurrencyCatalogue.size(); ++i)
        EXPECT_LT(key(CurrencyCatalogue[i - 1]), key(CurrencyCatalogue[i])) << "position " << i;
}

}  // namespace
}  // namespace kavrel
