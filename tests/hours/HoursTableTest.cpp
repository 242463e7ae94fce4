// The hours notation against a table of schedules and moments, read in
// Berlin's time zone (summer time from the last Sunday of March, 02:00 to
// 03:00, to the last Sunday of October, 03:00 back to 02:00), and the text
// that is refused with where and why.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "protocol/OpeningHours.h"

namespace {

class HoursZone : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* psz = std::getenv("TZ");
        m_strOldZone = psz ? psz : "";
        m_bHadZone = psz != nullptr;
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override
    {
        if (m_bHadZone)
            setenv("TZ", m_strOldZone.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    static std::string Explain(const std::string& strSpec, const std::string& strAt)
    {
        HoursRefusal refusal;
        const std::optional<COpeningHours> hours = COpeningHours::Parse(strSpec, refusal);
        if (!hours)
            return "refused " + refusal.Text();
        std::string strError;
        const std::optional<std::time_t> t = ParseLocalMinute(strAt, strError);
        if (!t)
            return "bad moment " + strError;
        return ExplainHours(*hours, *t);
    }

private:
    std::string m_strOldZone;
    bool m_bHadZone = false;
};

struct ExplainCase {
    const char* pszSpec;
    const char* pszAt;
    const char* pszExpected;
};

// 2026-12-09 is a Wednesday.
constexpr ExplainCase ExplainTable[] = {
    // Weekdays, ranges, lists, and a range over the weekend.
    {"Mo-Fr 10:00-18:00", "2026-12-09T12:00", "open until 2026-12-09T18:00"},
    {"Mo-Fr 10:00-18:00", "2026-12-09T18:00", "closed until 2026-12-10T10:00"},
    {"Mo-Fr 10:00-18:00", "2026-12-11T19:00", "closed until 2026-12-14T10:00"},
    {"Mo-Fr 10:00-18:00", "2026-12-09T09:59", "closed until 2026-12-09T10:00"},
    {"Sa,Su 11:00-16:00", "2026-12-09T12:00", "closed until 2026-12-12T11:00"},
    {"Fr-Mo 12:00-14:00", "2026-12-13T13:00", "open until 2026-12-13T14:00"},
    {"Fr-Mo 12:00-14:00", "2026-12-14T15:00", "closed until 2026-12-18T12:00"},
    {"Mo,We-Fr 09:00-10:00", "2026-12-08T09:30", "closed until 2026-12-09T09:00"},
    // Several spans a day.
    {"Mo-Fr 10:00-12:00,13:00-17:00", "2026-12-09T12:30", "closed until 2026-12-09T13:00"},
    {"Mo-Fr 10:00-12:00,13:00-17:00", "2026-12-09T11:00", "open until 2026-12-09T12:00"},
    // Spans that meet are one opening.
    {"10:00-12:00,12:00-14:00", "2026-12-09T11:00", "open until 2026-12-09T14:00"},
    // Past midnight: Friday's evening runs into Saturday.
    {"Fr 18:00-02:00", "2026-12-12T01:00", "open until 2026-12-12T02:00"},
    {"Fr 18:00-02:00", "2026-12-11T17:00", "closed until 2026-12-11T18:00"},
    {"Fr 18:00-02:00", "2026-12-12T02:00", "closed until 2026-12-18T18:00"},
    {"Fr 18:00-26:00", "2026-12-12T01:59", "open until 2026-12-12T02:00"},
    {"Fr 18:00-24:00", "2026-12-11T23:00", "open until 2026-12-12T00:00"},
    {"Mo-Su 18:00-24:00", "2026-12-11T23:00", "open until 2026-12-12T00:00"},
    {"Mo-Su 00:00-24:00", "2026-12-11T23:00", "open"},
    {"Mo-Su 20:00-03:00", "2026-12-10T01:00", "open until 2026-12-10T03:00"},
    // A later rule that names Saturday leaves Friday's night alone.
    {"Fr 18:00-02:00; Sa off", "2026-12-12T01:00", "open until 2026-12-12T02:00"},
    // Around the clock, closed for good.
    {"24/7", "2026-12-09T12:00", "open"},
    {"off", "2026-12-09T12:00", "closed"},
    {"closed", "2026-12-09T12:00", "closed"},
    {"24/7; Dec 25 off", "2026-12-09T12:00", "open until 2026-12-25T00:00"},
    {"24/7; Dec 25 off", "2026-12-25T12:00", "closed until 2026-12-26T00:00"},
    // Named days without times are open all day.
    {"Sa", "2026-12-12T12:00", "open until 2026-12-13T00:00"},
    // Later rules replace earlier ones for the days they name.
    {"Mo-Fr 10:00-18:00; We 12:00-14:00", "2026-12-09T11:00", "closed until 2026-12-09T12:00"},
    {"Mo-Fr 10:00-18:00; We off", "2026-12-09T11:00", "closed until 2026-12-10T10:00"},
    {"10:00-18:00; Mo-Fr 12:00-14:00", "2026-12-12T11:00", "open until 2026-12-12T18:00"},
    {"We off; 10:00-18:00", "2026-12-09T11:00", "open until 2026-12-09T18:00"},
    // Dates, day ranges and the turn of the year.
    {"Mo-Su 10:00-18:00; Dec 24-26 off", "2026-12-23T19:00", "closed until 2026-12-27T10:00"},
    {"Mo-Su 10:00-18:00; Jan 01 off", "2026-12-31T19:00", "closed until 2027-01-02T10:00"},
    {"Mo-Su 10:00-18:00; Dec 31 10:00-14:00", "2026-12-31T13:00", "open until 2026-12-31T14:00"},
    {"Mo-Su 10:00-18:00; Dec 24-Jan 02 off", "2026-12-20T19:00", "closed until 2026-12-21T10:00"},
    {"Mo-Su 10:00-18:00; Dec 24-Jan 02 off", "2026-12-23T19:00", "closed until 2027-01-03T10:00"},
    {"Mo-Su 10:00-18:00; Dec 24-Jan 02 off", "2027-01-02T12:00", "closed until 2027-01-03T10:00"},
    {"Dec 24-Jan 02 10:00-12:00", "2026-12-09T12:00", "closed until 2026-12-24T10:00"},
    {"Dec 10:00-12:00", "2026-12-31T13:00", "closed until 2027-12-01T10:00"},
    {"Jan-Feb Sa 10:00-12:00", "2026-12-09T12:00", "closed until 2027-01-02T10:00"},
    {"Feb 29 10:00-12:00", "2027-03-01T00:00", "closed until 2028-02-29T10:00"},
    // Once a year, and a day later than a year from now.
    {"Dec 10 10:00-12:00", "2026-12-10T12:00", "closed until 2027-12-10T10:00"},
    {"Feb 29 10:00-12:00", "2026-12-09T12:00", "closed"},
    // Spring forward in Berlin: 2026-03-29, 02:00 becomes 03:00.
    {"01:00-04:00", "2026-03-29T00:30", "closed until 2026-03-29T01:00"},
    {"01:00-04:00", "2026-03-29T01:30", "open until 2026-03-29T04:00"},
    {"01:00-04:00", "2026-03-29T03:30", "open until 2026-03-29T04:00"},
    {"02:00-02:30", "2026-03-29T01:00", "closed until 2026-03-30T02:00"},
    {"02:30-05:00", "2026-03-29T01:00", "closed until 2026-03-29T03:00"},
    {"22:00-02:30", "2026-03-28T23:00", "open until 2026-03-29T03:00"},
    {"Sa 10:00-18:00", "2026-03-27T12:00", "closed until 2026-03-28T10:00"},
    // Autumn: 2026-10-25, 03:00 goes back to 02:00; an hour comes twice.
    {"01:00-04:00", "2026-10-25T01:30", "open until 2026-10-25T04:00"},
    {"02:30-03:30", "2026-10-25T02:45", "open until 2026-10-25T03:30"},
    {"01:00-02:30", "2026-10-25T02:15", "open until 2026-10-25T02:30"},
    {"Sa 18:00-02:00", "2026-10-24T19:00", "open until 2026-10-25T02:00"},
    // Spaces are only separators.
    {"  Mo-Fr   10:00-18:00 ;  Sa 10:00-12:00 ; ", "2026-12-12T11:00", "open until 2026-12-12T12:00"},
};

TEST_F(HoursZone, ExplainTable)
{
    for (const ExplainCase& entry : ExplainTable) {
        EXPECT_EQ(Explain(entry.pszSpec, entry.pszAt), entry.pszExpected)
            << "\"" << entry.pszSpec << "\" at " << entry.pszAt;
    }
}

struct RefusedCase {
    const char* pszSpec;
    size_t nPosition;
    const char* pszReasonPart;
};

constexpr RefusedCase RefusedTable[] = {
    {"", 1, "empty rule"},
    {"Mo-Fr 10:00-18:00;; Sa off", 19, "empty rule"},
    {"Mo-Fr 10:00-18:00, Sa 10:00-14:00", 18, "separate rules with ';'"},
    {"Mo-Fr 10:00-18:00 || \"by appointment\"", 19, "fallback"},
    {"Mo-Fr 10:00-18:00; PH off", 20, "holidays"},
    {"Mo-Fr,PH 10:00-18:00", 7, "holidays"},
    {"SH off", 1, "holidays"},
    {"Mo-Fr 10:00+", 12, "open ends"},
    {"Mo-Fr 10:00-sunset", 13, "sun"},
    {"sunrise-18:00", 1, "sun"},
    {"2026 Dec 24 off", 1, "years"},
    {"week 01-10 Mo 10:00-12:00", 1, "week numbers"},
    {"Mo[1] 10:00-12:00", 3, "n-th weekday"},
    {"Mo-Fr 10:00-18:00 \"ring the bell\"", 19, "comments"},
    {"Mo-Fr 10:00-18:00 unknown", 19, "unknown"},
    {"Mon-Fri 10:00-18:00", 1, "unexpected 'Mon'"},
    {"mo-fr 10:00-18:00", 1, "unexpected 'mo'"},
    {"Mo-Fr 9:00-18:00", 7, "HH:MM"},
    {"Mo-Fr 10:00-18", 13, "HH:MM"},
    {"Mo-Fr 10:60-18:00", 7, "no such time"},
    {"Mo-Fr 24:00-02:00", 7, "no such time"},
    {"Mo-Fr 10:00-48:01", 13, "no such time"},
    {"Mo-Fr 10:00-10:00", 7, "end when it starts"},
    {"Mo-Fr 10:00-34:30", 13, "longer than a day"},
    {"Mo-Fr 10:00", 12, "needs its end"},
    {"Dec 32 off", 5, "no such day"},
    {"Feb 30 off", 5, "no such day"},
    {"Dec 26-24 off", 8, "end before it starts"},
    {"Dec 24- off", 8, "expected a day"},
    {"Mo- 10:00-12:00", 4, "weekday"},
    {"Mo-Fr 10:00-18:00 Sa", 19, "unexpected 'Sa'"},
    {"Mo-Fr 10:00-18:00 x\x01", 19, "unexpected 'x'"},
    {"Mo-Fr 10:00-18:00\xC3\xA9", 18, "unexpected character"},
    {"Mo-Fr 10:00-18:00/2", 18, "repeating times"},
    {"Dec 24/2 off", 7, "repeating dates"},
};

TEST(HoursRefused, TellWhereAndWhy)
{
    for (const RefusedCase& entry : RefusedTable) {
        HoursRefusal refusal;
        EXPECT_FALSE(COpeningHours::Parse(entry.pszSpec, refusal).has_value()) << entry.pszSpec;
        EXPECT_EQ(refusal.nPosition, entry.nPosition) << entry.pszSpec << ": " << refusal.Text();
        EXPECT_NE(refusal.strReason.find(entry.pszReasonPart), std::string::npos)
            << entry.pszSpec << ": " << refusal.Text();
    }
}

TEST(HoursRefused, LongTextRefusedUnread)
{
    std::string str;
    while (str.size() < 5000)
        str += "Mo 10:00-11:00; ";
    HoursRefusal refusal;
    EXPECT_FALSE(COpeningHours::Parse(str, refusal).has_value());
    EXPECT_NE(refusal.strReason.find("too long"), std::string::npos);
}

TEST_F(HoursZone, MomentsThatDoNotExistOrComeTwice)
{
    std::string strError;
    EXPECT_FALSE(ParseLocalMinute("2026-03-29T02:30", strError).has_value());
    EXPECT_NE(strError.find("skip"), std::string::npos);
    EXPECT_FALSE(ParseLocalMinute("2026-02-29T10:00", strError).has_value());
    EXPECT_FALSE(ParseLocalMinute("2026-12-09 10:00", strError).has_value());
    EXPECT_FALSE(ParseLocalMinute("2026-12-09T24:00", strError).has_value());
    // The repeated hour: the first of the two, in summer time.
    const std::optional<std::time_t> t = ParseLocalMinute("2026-10-25T02:30", strError);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(*t, 1792888200); // 2026-10-25T00:30Z
    EXPECT_EQ(LocalMinuteText(*t + 3600), "2026-10-25T02:30");
}

TEST_F(HoursZone, RepeatedHourIsOpenOnce)
{
    std::string strError;
    HoursRefusal refusal;
    // Closes the first time the clocks show 02:30, in summer time.
    const std::optional<COpeningHours> early = COpeningHours::Parse("01:00-02:30", refusal);
    const std::optional<std::time_t> t130 = ParseLocalMinute("2026-10-25T01:30", strError);
    ASSERT_TRUE(early && t130);
    EXPECT_EQ(*early->StateAt(*t130).tNextChange - *t130, 3600);
    EXPECT_FALSE(early->IsOpenAt(*t130 + 3600 + 1800));
    // Runs through both 02:45s to the one 03:30, in winter time.
    const std::optional<COpeningHours> across = COpeningHours::Parse("02:30-03:30", refusal);
    const std::optional<std::time_t> t245 = ParseLocalMinute("2026-10-25T02:45", strError);
    ASSERT_TRUE(across && t245);
    EXPECT_EQ(*across->StateAt(*t245).tNextChange - *t245, 6300);
    EXPECT_TRUE(across->IsOpenAt(*t245 + 3600));
    // The short night: 01:00 to 04:00 is two hours long.
    const std::optional<COpeningHours> night = COpeningHours::Parse("01:00-04:00", refusal);
    const std::optional<std::time_t> t100 = ParseLocalMinute("2026-03-29T01:00", strError);
    ASSERT_TRUE(night && t100);
    EXPECT_TRUE(night->IsOpenAt(*t100));
    EXPECT_EQ(*night->StateAt(*t100).tNextChange - *t100, 7200);
}

TEST(HoursCalendar, DatesAndWeekdays)
{
    EXPECT_EQ(WeekdayOf(CivilDate{2026, 12, 9}), 2);
    EXPECT_EQ(WeekdayOf(CivilDate{1970, 1, 1}), 3);
    EXPECT_EQ(WeekdayOf(CivilDate{1969, 12, 29}), 0);
    for (const int64_t n : {int64_t{-800000}, int64_t{-1}, int64_t{0}, int64_t{20796}, int64_t{2932896}})
        EXPECT_EQ(DaysFromCivil(CivilFromDays(n)), n);
    EXPECT_EQ(DaysInMonth(2028, 2), 29);
    EXPECT_EQ(DaysInMonth(2100, 2), 28);
}

} // namespace
