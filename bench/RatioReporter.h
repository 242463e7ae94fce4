// A console reporter for the benchmarks that also prints chosen CPU-time
// ratios after the usual table: on a shared, noisy machine a ratio measured
// in one run says more than either time alone.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class CRatioReporter : public benchmark::ConsoleReporter {
public:
    struct Ratio {
        std::string strLabel;       // printed as "<label>: <ratio>"
        std::string strNumerator;   // benchmark names
        std::string strDenominator;
    };

    explicit CRatioReporter(std::vector<Ratio> vecRatios) : m_vecRatios(std::move(vecRatios)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            // Repeated benchmarks also report aggregates, as "<name>/repeats:N_median".
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
                m_times[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const Ratio& ratio : m_vecRatios) {
            const auto num = m_times.find(ratio.strNumerator);
            const auto den = m_times.find(ratio.strDenominator);
            if (num != m_times.end() && den != m_times.end() && den->second > 0)
                std::printf(ratio.strLabel.rfind("FIGURE ", 0) == 0 ? "%s %.2f\n" : "%s: %.2f\n",
                            ratio.strLabel.c_str(), num->second / den->second);
        }
    }

private:
    std::vector<Ratio> m_vecRatios;
    std::map<std::string, double> m_times;
};
