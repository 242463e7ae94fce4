// Reading the opening hours notation: a small hand-written parser that takes
// only what it understands and says where and why it stops otherwise.
#include "protocol/OpeningHours.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

constexpr std::array<std::string_view, 7> WeekdayNames = {"Mo", "Tu", "We", "Th", "Fr", "Sa", "Su"};
constexpr std::array<std::string_view, 12> MonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int MinutesPerDay = 24 * 60;
// Keeps a hostile text from making a schedule that takes long to evaluate.
constexpr size_t MaxTextLength = 4096;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

class CHoursParser {
public:
    CHoursParser(std::string_view text, HoursRefusal& refusal)
        : m_text(text)
        , m_refusal(refusal)
    {
    }

    bool Parse(std::vector<HoursRule>& vecRules)
    {
        if (m_text.size() > MaxTextLength)
            return Refuse(MaxTextLength + 1, "too long (at most 4096 characters)");
        for (;;) {
            HoursRule rule;
            if (!ParseRule(rule))
                return false;
            vecRules.push_back(std::move(rule));
            SkipSpaces();
            if (AtEnd())
                return true;
            if (Peek() == ';') {
                ++m_nPos;
                SkipSpaces();
                // A closing ';' is harmless.
                if (AtEnd())
                    return true;
                continue;
            }
            if (Starts("||"))
                return Refuse(m_nPos, "fallback rules ('||') are not supported");
            if (Peek() == ',')
                return Refuse(m_nPos, "rules added with ',' are not supported: separate rules with ';'");
            return Unexpected();
        }
    }

private:
    bool AtEnd() const { return m_nPos >= m_text.size(); }
    char Peek(size_t nAhead = 0) const { return m_nPos + nAhead < m_text.size() ? m_text[m_nPos + nAhead] : '\0'; }
    bool Starts(std::string_view str) const { return m_text.substr(m_nPos, str.size()) == str; }
    void SkipSpaces()
    {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t'))
            ++m_nPos;
    }
    // The letters from here on: a word of the notation.
    std::string_view Word() const
    {
        size_t nEnd = m_nPos;
        while (nEnd < m_text.size() && IsLetter(m_text[nEnd]))
            ++nEnd;
        return m_text.substr(m_nPos, nEnd - m_nPos);
    }

    bool Refuse(size_t nPos, std::string strReason)
    {
        m_refusal.nPosition = nPos + 1;
        m_refusal.strReason = std::move(strReason);
        return false;
    }

    bool Unexpected()
    {
        if (AtEnd())
            return Refuse(m_nPos, "the text ends too early");
        const auto c = static_cast<unsigned char>(Peek());
        if (c < 0x20 || c >= 0x7F)
            return Refuse(m_nPos, "unexpected character");
        std::string_view word = Word();
        if (word.empty())
            word = m_text.substr(m_nPos, 1);
        return Refuse(m_nPos, "unexpected '" + std::string(word) + "'");
    }

    static int Index(std::string_view word, const auto& names)
    {
        const auto it = std::find(names.begin(), names.end(), word);
        return it == names.end() ? -1 : static_cast<int>(it - names.begin());
    }

    // Words that belong to the notation but not to the part Quado reads.
    bool RefuseKnownWord(std::string_view word)
    {
        if (word == "PH" || word == "SH")
            return Refuse(m_nPos, "public and school holidays (PH, SH) are not supported");
        if (word == "week")
            return Refuse(m_nPos, "week numbers are not supported");
        if (word == "easter")
            return Refuse(m_nPos, "easter is not supported");
        if (word == "sunrise" || word == "sunset" || word == "dawn" || word == "dusk")
            return Refuse(m_nPos, "times of the sun are not supported");
        if (word == "unknown")
            return Refuse(m_nPos, "'unknown' is not supported");
        return Unexpected();
    }

    bool ParseRule(HoursRule& rule)
    {
        SkipSpaces();
        const size_t nRuleStart = m_nPos;
        if (AtEnd() || Peek() == ';')
            return Refuse(m_nPos, "an empty rule");
        bool bSelected = false;
        if (Index(Word(), MonthNames) >= 0) {
            if (!ParseDates(rule))
                return false;
            bSelected = true;
            SkipSpaces();
            if (Peek() == ':') {
                ++m_nPos;
                SkipSpaces();
            }
        } else if (IsDigit(Peek()) && IsDigit(Peek(1)) && IsDigit(Peek(2)) && IsDigit(Peek(3))) {
            return Refuse(m_nPos, "years are not supported");
        }
        if (Index(Word(), WeekdayNames) >= 0) {
            if (!ParseWeekdays(rule))
                return false;
            bSelected = true;
            SkipSpaces();
        }
        bool bTimes = false;
        if (Starts("24/7")) {
            m_nPos += 4;
            rule.vecSpans.push_back(HoursSpan{0, MinutesPerDay});
            bTimes = true;
        } else if (IsDigit(Peek())) {
            if (!ParseSpans(rule))
                return false;
            bTimes = true;
        }
        SkipSpaces();
        const std::string_view word = Word();
        if (word == "off" || word == "closed") {
            m_nPos += word.size();
            rule.bOff = true;
            rule.vecSpans.clear();
        } else if (word == "open") {
            m_nPos += word.size();
            if (!bTimes)
                rule.vecSpans.push_back(HoursSpan{0, MinutesPerDay});
        } else if (!word.empty()) {
            return RefuseKnownWord(word);
        } else if (Peek() == '"') {
            return Refuse(m_nPos, "comments are not supported");
        } else if (!bTimes) {
            if (!bSelected)
                return m_nPos == nRuleStart ? Unexpected() : Refuse(m_nPos, "an empty rule");
            // Named days without times are open the whole day.
            rule.vecSpans.push_back(HoursSpan{0, MinutesPerDay});
        }
        SkipSpaces();
        if (!AtEnd() && Peek() != ';' && Peek() != ',' && !Starts("||"))
            return Unexpected();
        return true;
    }

    // Two digits.
    bool Number2(int& n)
    {
        if (!IsDigit(Peek()) || !IsDigit(Peek(1)))
            return false;
        n = (Peek() - '0') * 10 + (Peek(1) - '0');
        m_nPos += 2;
        return true;
    }

    // "24", or "4" and "24" written as days of the month.
    bool Day(int nMonth, int& nDay)
    {
        const size_t nStart = m_nPos;
        if (!IsDigit(Peek()))
            return Refuse(m_nPos, "expected a day of the month");
        nDay = Peek() - '0';
        ++m_nPos;
        if (IsDigit(Peek())) {
            nDay = nDay * 10 + (Peek() - '0');
            ++m_nPos;
        }
        if (IsDigit(Peek()))
            return Refuse(nStart, "expected a day of the month");
        // February's 29th is a day in some years, and then it counts.
        const int nMax = nMonth == 2 ? 29 : DaysInMonth(2001, nMonth);
        if (nDay < 1 || nDay > nMax)
            return Refuse(nStart, "no such day in " + std::string(MonthNames[nMonth - 1]));
        return true;
    }

    bool Month(int& nMonth)
    {
        nMonth = Index(Word(), MonthNames) + 1;
        if (nMonth <= 0)
            return Refuse(m_nPos, "expected a month (Jan to Dec)");
        m_nPos += 3;
        return true;
    }

    bool ParseDates(HoursRule& rule)
    {
        for (;;) {
            MonthDayRange range;
            if (!Month(range.nFromMonth))
                return false;
            const size_t nAfterMonth = m_nPos;
            SkipSpaces();
            bool bFromDay = false;
            if (IsDigit(Peek()) && !(IsDigit(Peek(1)) && Peek(2) == ':')) {
                if (!Day(range.nFromMonth, range.nFromDay))
                    return false;
                bFromDay = true;
            } else {
                m_nPos = nAfterMonth;
            }
            range.nToMonth = range.nFromMonth;
            range.nToDay = bFromDay ? range.nFromDay : 31;
            if (Peek() == '-') {
                ++m_nPos;
                if (Index(Word(), MonthNames) >= 0) {
                    if (!Month(range.nToMonth))
                        return false;
                    if (bFromDay) {
                        SkipSpaces();
                        if (!Day(range.nToMonth, range.nToDay))
                            return false;
                    } else {
                        range.nToDay = 31;
                    }
                } else if (bFromDay) {
                    const size_t nDayPos = m_nPos;
                    if (!Day(range.nToMonth, range.nToDay))
                        return false;
                    if (range.nToDay < range.nFromDay)
                        return Refuse(nDayPos, "a range of days must not end before it starts");
                } else {
                    return Refuse(m_nPos, "expected a month (Jan to Dec)");
                }
            }
            if (Peek() == '/')
                return Refuse(m_nPos, "repeating dates ('/') are not supported");
            rule.vecDates.push_back(range);
            if (Peek() != ',' || Index(Word2(1), MonthNames) < 0)
                return true;
            ++m_nPos;
        }
    }

    // The word nAhead characters on.
    std::string_view Word2(size_t nAhead) const
    {
        size_t nStart = m_nPos + nAhead;
        size_t nEnd = nStart;
        while (nEnd < m_text.size() && IsLetter(m_text[nEnd]))
            ++nEnd;
        return nStart <= m_text.size() ? m_text.substr(nStart, nEnd - nStart) : std::string_view();
    }

    bool ParseWeekdays(HoursRule& rule)
    {
        uint8_t nDays = 0;
        for (;;) {
            const int nFrom = Index(Word(), WeekdayNames);
            if (nFrom < 0)
                return RefuseKnownWord(Word());
            m_nPos += 2;
            int nTo = nFrom;
            if (Peek() == '-') {
                ++m_nPos;
                nTo = Index(Word(), WeekdayNames);
                if (nTo < 0)
                    return Word().empty() ? Refuse(m_nPos, "expected a weekday (Mo to Su)") : RefuseKnownWord(Word());
                m_nPos += 2;
            }
            if (Peek() == '[')
                return Refuse(m_nPos, "the n-th weekday of a month ('[...]') is not supported");
            // Fr-Mo runs over the weekend.
            for (int i = nFrom;; i = (i + 1) % 7) {
                nDays = static_cast<uint8_t>(nDays | (1u << i));
                if (i == nTo)
                    break;
            }
            if (Peek() != ',' || (Index(Word2(1), WeekdayNames) < 0 && Word2(1) != "PH" && Word2(1) != "SH"))
                break;
            ++m_nPos;
        }
        rule.nWeekdays = nDays;
        return true;
    }

    bool Time(int& nMinutes, bool bEnd)
    {
        const size_t nStart = m_nPos;
        int nHour = 0;
        int nMinute = 0;
        if (!Number2(nHour) || Peek() != ':') {
            m_nPos = nStart;
            return Refuse(nStart, "expected a time written HH:MM");
        }
        ++m_nPos;
        if (!Number2(nMinute) || IsDigit(Peek())) {
            m_nPos = nStart;
            return Refuse(nStart, "expected a time written HH:MM");
        }
        nMinutes = nHour * 60 + nMinute;
        if (nMinute > 59 || nMinutes > (bEnd ? 2 * MinutesPerDay : MinutesPerDay - 1))
            return Refuse(nStart, bEnd ? "no such time (00:00 to 48:00)" : "no such time (00:00 to 23:59)");
        return true;
    }

    bool ParseSpans(HoursRule& rule)
    {
        for (;;) {
            const size_t nSpanStart = m_nPos;
            HoursSpan span;
            if (!Time(span.nStart, false))
                return false;
            if (Peek() == '+')
                return Refuse(m_nPos, "open ends ('+') are not supported");
            if (Peek() != '-')
                return Refuse(m_nPos, "a time needs its end: HH:MM-HH:MM");
            ++m_nPos;
            if (Index(Word(), std::array<std::string_view, 4>{"sunrise", "sunset", "dawn", "dusk"}) >= 0)
                return RefuseKnownWord(Word());
            const size_t nEndPos = m_nPos;
            if (!Time(span.nEnd, true))
                return false;
            if (Peek() == '+' || Peek() == '/')
                return Refuse(m_nPos, Peek() == '+' ? "open ends ('+') are not supported"
                                                    : "repeating times ('/') are not supported");
            if (span.nEnd == span.nStart)
                return Refuse(nSpanStart, "a span must not end when it starts");
            if (span.nEnd < span.nStart) {
                // 18:00-02:00 runs into the next day; 18:00-26:00 says the same.
                if (span.nEnd > MinutesPerDay)
                    return Refuse(nEndPos, "a span must not end before it starts");
                span.nEnd += MinutesPerDay;
            }
            if (span.nEnd - span.nStart > MinutesPerDay)
                return Refuse(nEndPos, "a span must not last longer than a day");
            rule.vecSpans.push_back(span);
            if (Peek() != ',' || !IsDigit(Peek(1)))
                return true;
            ++m_nPos;
        }
    }

    std::string_view m_text;
    HoursRefusal& m_refusal;
    size_t m_nPos = 0;
};

} // namespace

std::string HoursRefusal::Text() const
{
    return "position " + std::to_string(nPosition) + ": " + strReason;
}

std::optional<COpeningHours> COpeningHours::Parse(std::string_view text, HoursRefusal& refusal)
{
    COpeningHours hours;
    CHoursParser parser(text, refusal);
    if (!parser.Parse(hours.m_vecRules))
        return std::nullopt;
    return hours;
}
