#include "fleet/JsonText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

constexpr char32_t Replacement = 0xFFFD;

void AppendUtf8(std::string& str, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = Replacement;
    if (c < 0x80) {
        str.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        str.push_back(static_cast<char>(0xC0 | (c >> 6)));
        str.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        str.push_back(static_cast<char>(0xE0 | (c >> 12)));
        str.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        str.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        str.push_back(static_cast<char>(0xF0 | (c >> 18)));
        str.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        str.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        str.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

std::string FixedNumber(double dValue, int nDecimals)
{
    // Not printf: the toolkit sets the process's locale from the
    // environment, and a German one would write "12,5".
    char szNumber[64];
    const auto result = std::to_chars(szNumber, szNumber + sizeof szNumber, dValue, std::chars_format::fixed, nDecimals);
    return result.ec == std::errc() ? std::string(szNumber, result.ptr) : std::string("0");
}

std::string Utf8(std::wstring_view text)
{
    std::string str;
    str.reserve(text.size());
    for (const wchar_t c : text)
        AppendUtf8(str, static_cast<char32_t>(c));
    return str;
}

std::string JsonQuote(std::string_view utf8)
{
    std::string str;
    str.reserve(utf8.size() + 2);
    str.push_back('"');
    for (const char c : utf8) {
        switch (c) {
        case '"':
            str += "\\\"";
            break;
        case '\\':
            str += "\\\\";
            break;
        case '\n':
            str += "\\n";
            break;
        case '\r':
            str += "\\r";
            break;
        case '\t':
            str += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char szEscape[8];
                std::snprintf(szEscape, sizeof szEscape, "\\u%04x", static_cast<unsigned>(c));
                str += szEscape;
            } else {
                str.push_back(c);
            }
        }
    }
    str.push_back('"');
    return str;
}

void CJsonObject::Key(std::string_view key)
{
    if (!m_strFields.empty())
        m_strFields.push_back(',');
    m_strFields += JsonQuote(key);
    m_strFields.push_back(':');
}

CJsonObject& CJsonObject::AddString(std::string_view key, std::string_view utf8)
{
    Key(key);
    m_strFields += JsonQuote(utf8);
    return *this;
}

CJsonObject& CJsonObject::AddBool(std::string_view key, bool bValue)
{
    Key(key);
    m_strFields += bValue ? "true" : "false";
    return *this;
}

CJsonObject& CJsonObject::AddInt(std::string_view key, int64_t nValue)
{
    Key(key);
    m_strFields += std::to_string(nValue);
    return *this;
}

CJsonObject& CJsonObject::AddNumber(std::string_view key, double dValue, int nDecimals)
{
    // JSON has no NaN or infinity.
    if (!std::isfinite(dValue))
        return AddNull(key);
    Key(key);
    m_strFields += FixedNumber(dValue, nDecimals);
    return *this;
}

CJsonObject& CJsonObject::AddNull(std::string_view key)
{
    Key(key);
    m_strFields += "null";
    return *this;
}

CJsonObject& CJsonObject::AddJson(std::string_view key, std::string_view json)
{
    Key(key);
    m_strFields += json;
    return *this;
}
