/* SPDX-License-Identifier: MIT */
// Runs the benchmarks with the library's console lines set aside, prints the
// usual table, then the figures that matter beside their targets.
#include <benchmark/benchmark.h>
#include <ext/stdio_filebuf.h>
#include <unistd.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "console_aside.h"
#include "figures_reporter.h"
#include "support/instant_sensor.h"

namespace kq7::bench {
namespace {

constexpr double kCaptureOverSleepTarget = 1.05;
constexpr double kSpectrumReceiveCpuTargetUs = 50.0;

class FigurePrinter {
public:
    FigurePrinter(const FiguresReporter& reporter, std::ostream& out) : reporter_(reporter), out_(out) {}

    const Measured* Find(const std::string& name) const { return reporter_.Find(name); }

    void Line(const std::string& what, const std::string& value) {
        char line[160];
        std::snprintf(line, sizeof line, "%-44s %s\n", what.c_str(), value.c_str());
        out_ << line;
    }

    static std::string Format(const char* format, double a, double b = 0, double c = 0) {
        char text[120];
        std::snprintf(text, sizeof text, format, a, b, c);
        return text;
    }

    static const char* Verdict(bool met) { return met ? "met" : "NOT MET"; }

private:
    const FiguresReporter& reporter_;
    std::ostream& out_;
};

void PrintFigures(const FiguresReporter& reporter, std::ostream& out) {
    FigurePrinter p(reporter, out);
    out << "\nFigures\n";
    if (const Measured* crc = p.Find("Crc16")) {
        p.Line("Crc16 over 1030 bytes", FigurePrinter::Format("%.1f MB/s (%.2f us per payload)",
                                                               test::kInstantSpectrumPayload / crc->cpuSeconds / 1e6,
                                                               crc->cpuSeconds * 1e6));
    }
    for (const char* name : {"PackFrame/1", "PackFrame/4", "PackFrame/993"}) {
        if (const Measured* pack = p.Find(name)) {
            p.Line(name, FigurePrinter::Format("%.0f ns", pack->cpuSeconds * 1e9));
        }
    }
    if (const Measured* unpack = p.Find("FindFrameStart+UnpackReply")) {
        p.Line("FindFrameStart+UnpackReply, 1037-byte frame",
               FigurePrinter::Format("%.0f ns", unpack->cpuSeconds * 1e9));
    }
    if (const Measured* receive = p.Find("SpectrumReceive")) {
        const double us = receive->cpuSeconds * 1e6;
        p.Line("Spectrum receive, library CPU work",
               FigurePrinter::Format("%.1f us (target < %.0f us: ", us, kSpectrumReceiveCpuTargetUs) +
                   FigurePrinter::Verdict(us < kSpectrumReceiveCpuTargetUs) + ")");
    }
    for (const char* sensor : {"virtual_sensor", "instant_sensor"}) {
        const Measured* pair = p.Find(std::string("KQ7GetData+sleep/") + sensor);
        if (pair == nullptr) {
            continue;
        }
        const double ratio = pair->counters.at("ratio");
        p.Line(std::string("KQ7GetData, ") + sensor + ", per capture",
               FigurePrinter::Format("%.3f ms, bare 1 ms sleep %.3f ms", pair->counters.at("capture_ms"),
                                     pair->counters.at("sleep_ms")));
        p.Line(std::string("KQ7GetData, ") + sensor + " / bare sleep",
               FigurePrinter::Format("%.3f (target <= %.2f: ", ratio, kCaptureOverSleepTarget) +
                   FigurePrinter::Verdict(ratio <= kCaptureOverSleepTarget) + ")");
    }
    if (const Measured* sim = p.Find("VirtualSensorSpectrum")) {
        p.Line("Virtual sensor's own work for one spectrum", FigurePrinter::Format("%.1f us", sim->cpuSeconds * 1e6));
    }
    if (const Measured* search = p.Find("KQ7OptSnenser/90")) {
        p.Line("KQ7OptSnenser(90), virtual sensor",
               FigurePrinter::Format("%.0f captures, %.1f ms, shutter %.0f", search->counters.at("captures"),
                                     search->realSeconds * 1e3, search->counters.at("shutter")));
    }
}

}  // namespace
}  // namespace kq7::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const int reportFd = kq7::bench::SetConsoleAside();
    __gnu_cxx::stdio_filebuf<char> reportBuffer(reportFd, std::ios::out);
    std::ostream report(&reportBuffer);

    kq7::bench::FiguresReporter reporter(isatty(reportFd) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                          : benchmark::ConsoleReporter::OO_Tabular);
    reporter.SetOutputStream(&report);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    kq7::bench::PrintFigures(reporter, report);
    report.flush();
    benchmark::Shutdown();
    return reporter.AnyFailed() ? 1 : 0;
}
