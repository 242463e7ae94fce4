// Compact JSON objects written field by field, the form of every message the
// venue's broker receives from this screen. Plain C++.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Wide text as UTF-8; what is no character becomes U+FFFD.
std::string Utf8(std::wstring_view text);
// A number with that many decimals and a '.' whatever the locale says.
std::string FixedNumber(double dValue, int nDecimals);
// A JSON string literal, quotes included; the text must be UTF-8.
std::string JsonQuote(std::string_view utf8);

class CJsonObject {
public:
    CJsonObject& AddString(std::string_view key, std::string_view utf8);
    CJsonObject& AddBool(std::string_view key, bool bValue);
    CJsonObject& AddInt(std::string_view key, int64_t nValue);
    // Fixed decimals: a reader sees "12.5", never "12.500000000000002".
    CJsonObject& AddNumber(std::string_view key, double dValue, int nDecimals);
    CJsonObject& AddNull(std::string_view key);
    CJsonObject& AddJson(std::string_view key, std::string_view json);

    std::string Text() const { return "{" + m_strFields + "}"; }

private:
    void Key(std::string_view key);

    std::string m_strFields;
};
