/* SPDX-License-Identifier: MIT */
// The console table of Google Benchmark, which also keeps what each benchmark
// measured so that the figures that matter can be put side by side after the
// run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace kq7::bench {

struct Measured {
    double realSeconds = 0;  // per iteration, mean over repetitions
    double cpuSeconds = 0;
    std::map<std::string, double> counters;
};

class FiguresReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override;

    // What the benchmark named `name` (with its argument, "PackFrame/1")
    // measured, or null when it did not run or failed.
    const Measured* Find(const std::string& name) const;

    // True when a benchmark reported an error.
    bool AnyFailed() const { return failed_; }

private:
    struct Sum {
        int runs = 0;
        Measured total;
    };
    std::map<std::string, Sum> sums_;
    std::map<std::string, Measured> means_;
    bool failed_ = false;
};

}  // namespace kq7::bench
