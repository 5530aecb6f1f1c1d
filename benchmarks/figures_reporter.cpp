/* SPDX-License-Identifier: MIT */
#include "figures_reporter.h"

namespace kq7::bench {

namespace {

std::string NameWithArguments(const benchmark::BenchmarkName& name) {
    return name.args.empty() ? name.function_name : name.function_name + "/" + name.args;
}

}  // namespace

void FiguresReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.error_occurred) {
            failed_ = true;
            continue;
        }
        // Repetitions come as iteration runs followed by aggregates; with
        // --benchmark_report_aggregates_only only the aggregates come. Either
        // way the figure is the mean.
        const bool mean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
        if (run.run_type != Run::RT_Iteration && !mean) {
            continue;
        }
        const std::string name = NameWithArguments(run.run_name);
        const double perSecond = benchmark::GetTimeUnitMultiplier(run.time_unit);
        Sum& sum = sums_[name];
        if (mean) {
            sum = Sum{};
        }
        ++sum.runs;
        sum.total.realSeconds += run.GetAdjustedRealTime() / perSecond;
        sum.total.cpuSeconds += run.GetAdjustedCPUTime() / perSecond;
        for (const auto& [counter, value] : run.counters) {
            sum.total.counters[counter] += value.value;
        }
        Measured& average = means_[name];
        average.realSeconds = sum.total.realSeconds / sum.runs;
        average.cpuSeconds = sum.total.cpuSeconds / sum.runs;
        for (const auto& [counter, total] : sum.total.counters) {
            average.counters[counter] = total / sum.runs;
        }
    }
    ConsoleReporter::ReportRuns(runs);
}

const Measured* FiguresReporter::Find(const std::string& name) const {
    const auto found = means_.find(name);
    return found != means_.end() ? &found->second : nullptr;
}

}  // namespace kq7::bench
