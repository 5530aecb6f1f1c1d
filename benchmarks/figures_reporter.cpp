#include "figures_reporter.h"

namespace kq7::bench {

void FiguresReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred) {
            continue;
        }
        std::string name = run.run_name.function_name;
        if (!run.run_name.args.empty()) {
            name += "/" + run.run_name.args;
        }
        const double perSecond = benchmark::GetTimeUnitMultiplier(run.time_unit);
        Sum& sum = sums_[name];
        ++sum.runs;
        sum.total.realSeconds += run.GetAdjustedRealTime() / perSecond;
        sum.total.cpuSeconds += run.GetAdjustedCPUTime() / perSecond;
        for (const auto& [counter, value] : run.counters) {
            sum.total.counters[counter] += value.value;
        }
        Measured& mean = means_[name];
        mean.realSeconds = sum.total.realSeconds / sum.runs;
        mean.cpuSeconds = sum.total.cpuSeconds / sum.runs;
        for (const auto& [counter, total] : sum.total.counters) {
            mean.counters[counter] = total / sum.runs;
        }
    }
    ConsoleReporter::ReportRuns(runs);
}

const Measured* FiguresReporter::Find(const std::string& name) const {
    const auto found = means_.find(name);
    return found != means_.end() ? &found->second : nullptr;
}

}  // namespace kq7::bench
