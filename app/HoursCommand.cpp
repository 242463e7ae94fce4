#include "app/HoursCommand.h"

#include <cstdio>
#include <ctime>

#include "protocol/OpeningHours.h"

int RunHoursExplain(const StartOptions& options)
{
    HoursRefusal refusal;
    const std::optional<COpeningHours> hours = COpeningHours::Parse(options.strOpeningHours, refusal);
    if (!hours) {
        std::fprintf(stderr, "quado: --opening-hours: %s\n", refusal.Text().c_str());
        return 2;
    }
    std::time_t t = std::time(nullptr);
    if (!options.strExplainAt.empty()) {
        std::string strError;
        const std::optional<std::time_t> tAt = ParseLocalMinute(options.strExplainAt, strError);
        if (!tAt) {
            std::fprintf(stderr, "quado: --at: %s\n", strError.c_str());
            return 2;
        }
        t = *tAt;
    }
    std::printf("%s\n", ExplainHours(*hours, t).c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}
