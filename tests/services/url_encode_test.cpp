// Percent-encoding of form values: exactly 24 characters are replaced, every other byte is copied.
#include "services/simple_http.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

TEST(UrlEncode, ReplacesExactlyTheTwentyFourCharacters)
{
    const std::map<char, std::string> codes = {
        {' ', "%20"}, {'"', "%22"}, {'#', "%23"}, {'$', "%24"}, {'%', "%25"}, {'&', "%26"},
        {'+', "%2B"}, {',', "%2C"}, {'/', "%2F"}, {':', "%3A"}, {';', "%3B"}, {'<', "%3C"},
        {'=', "%3D"}, {'>', "%3E"}, {'?', "%3F"}, {'@', "%40"}, {'[', "%5B"}, {'\\', "%5C"},
        {']', "%5D"}, {'^', "%5E"}, {'`', "%60"}, {'{', "%7B"}, {'|', "%7C"}, {'}', "%7D"},
    };
    ASSERT_EQ(codes.size(), 24u);
    for (int byte = 1; byte < 256; ++byte)
    {
        char text[2] = {static_cast<char>(byte), '\0'};
        auto code = codes.find(text[0]);
        std::string expected = code != codes.end() ? code->second : std::string(text);
        EXPECT_EQ(std::string(TSimpleHttp::UrlEncode(text).c_str()), expected) << byte;
    }
}

TEST(UrlEncode, LeavesUnreservedPunctuationAndHighBytesAlone)
{
    EXPECT_EQ(TSimpleHttp::UrlEncode("~*'!()-._"), TString("~*'!()-._"));
    // UTF-8 text and line breaks pass through raw.
    EXPECT_EQ(TSimpleHttp::UrlEncode("caf\xC3\xA9\r\nok"), TString("caf\xC3\xA9\r\nok"));
    EXPECT_EQ(TSimpleHttp::UrlEncode("a b&c=d"), TString("a%20b%26c%3Dd"));
}

TEST(UrlEncode, NullAndEmptyGiveEmptyText)
{
    EXPECT_EQ(TSimpleHttp::UrlEncode(nullptr), TString(""));
    EXPECT_EQ(TSimpleHttp::UrlEncode(""), TString(""));
}

TEST(UrlEncode, NamesAreNotEncodedButValuesAre)
{
    TSimpleHttp http;
    http.Open("http://127.0.0.1:1/", true);
    http.AddParameter("a b", "c d");
    http.AddParameter("e", nullptr);
    EXPECT_EQ(http.GetFormText(), TString("a b=c%20d&e="));
}
