// Arbitrary text as opening hours, read in a zone with summer time: a refusal
// points inside the text (or just past its end), an accepted schedule holds
// only spans that make sense, and the next change it tells is a change.

#include "protocol/OpeningHours.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace {

void Require(bool bHolds, const char* pszWhat)
{
    if (!bHolds) {
        std::fprintf(stderr, "invariant broken: %s\n", pszWhat);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
    HoursRefusal refusal;
    const std::optional<COpeningHours> hours = COpeningHours::Parse(text, refusal);
    if (!hours) {
        Require(refusal.nPosition >= 1 && refusal.nPosition <= nSize + 1, "refusal position inside the text");
        Require(!refusal.strReason.empty(), "a refusal says why");
        return 0;
    }
    Require(!hours->Rules().empty(), "an accepted text has a rule");
    for (const HoursRule& rule : hours->Rules()) {
        Require(rule.nWeekdays != 0 && rule.nWeekdays <= 0x7F, "weekdays named");
        for (const HoursSpan& span : rule.vecSpans)
            Require(span.nStart >= 0 && span.nStart < 24 * 60 && span.nEnd > span.nStart &&
                        span.nEnd - span.nStart <= 24 * 60,
                    "a span starts in its day and lasts at most a day");
    }
    // Around the autumn change, where an hour comes twice.
    for (const std::time_t t : {std::time_t{1792881000}, std::time_t{1774746000}}) {
        const HoursState state = hours->StateAt(t);
        Require(state.bOpen == hours->IsOpenAt(t), "the state is the state at that moment");
        if (state.tNextChange) {
            Require(*state.tNextChange > t, "the next change is later");
            Require(hours->IsOpenAt(*state.tNextChange) != state.bOpen, "the next change changes the state");
            Require(hours->IsOpenAt(*state.tNextChange - 1) == state.bOpen, "nothing changes before it");
        }
    }
    return 0;
}
