/* SPDX-License-Identifier: MIT */
// kq7: a command-line host for KQ7 spectral sensors, on a serial port or
// (--sim) on the built-in virtual sensor.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kq7/calibration/calibrate_command.h"
#include "kq7/commands.h"
#include "kq7/failure.h"
#include "kq7/interrupt.h"
#include "kq7/option_placement.h"
#include "kq7/serial_port.h"
#if defined(KQ7_WITH_SERVE)
#include "kq7/serve/serve_command.h"
#endif
#include "kq7/versions.h"
#include "sim/in_process.h"
#include "sim/sim_config.h"

namespace {

constexpr int kDefaultBaud = 115200;
// --port takes this name for the built-in virtual sensor, as --sim does.
constexpr const char* kSimPort = "sim";

void AddSpectrumOutput(CLI::App& command, kq7tool::SpectrumOutput& output, bool& strict) {
    command.add_option("-o,--output", output.csvPath, "Write the spectrum as CSV to this file ('-': standard output)");
    command.add_option("--plot", output.svgPath, "Write an SVG plot of the spectrum to this file");
    command.add_flag("!--no-metadata", output.metadata, "Leave out the '# key: value' lines ahead of the CSV header");
    command.add_flag("--strict", strict, "Fail (exit 7 or 8) on a saturated spectrum or an exposure out of range");
}

// The port, or the built-in virtual sensor.
std::unique_ptr<kq7tool::ByteLink> OpenLink(const std::string& port, int baud, bool sim) {
    if (sim) {
        std::fputs("kq7: using the built-in virtual sensor: the spectra are made up\n", stderr);
        kq7sim::StartInProcess(kq7sim::SimConfig{});
        return std::make_unique<kq7tool::VirtualSensorLink>();
    }
    return std::make_unique<kq7tool::SerialPort>(port, baud);
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "kq7: %s (see kq7 --help)\n", message.c_str());
    return kq7tool::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kq7: identify a KQ7 spectral sensor, capture spectra, set its exposure"};
    app.require_subcommand(1);
    app.footer("kq7's options go before the command, the command's after it, as in\n"
               "  kq7 --port /dev/ttyUSB0 capture --shutter 200 -o spectrum.csv\n"
               "Exit status: 0 done, 1 other failure, 2 port, 3 no answer, 4 identification, 5 capture,\n"
               "6 not acknowledged, 7 saturated (--strict), 8 exposure out of range (--strict),\n"
               "64 command line, 130 Ctrl-C.");
    app.set_version_flag("--version", "kq7 " + kq7tool::Kq7Version() + ", library " + kq7tool::LibraryVersion());
    std::string port;
    int baud = kDefaultBaud;
    bool sim = false;
    bool verbose = false;
    CLI::Option* portOption =
        app.add_option("--port", port, "Serial port of the sensor ('sim': the built-in virtual sensor)");
    CLI::Option* simOption = app.add_flag("--sim", sim, "Use the built-in virtual sensor (made-up spectra)");
    portOption->excludes(simOption);
    app.add_option("--baud", baud, "Baud rate of the serial port (default 115200)")
        ->needs(portOption)
        ->check(CLI::IsMember(kq7tool::SupportedBaudRates()).description("1200 to 4000000, as termios has them"));
    CLI::Option* verboseOption = app.add_flag("-v,--verbose", verbose, "Show the library's exchanges on standard error");
    // Quiet is the default; -q stays accepted for the scripts that give it.
    app.add_flag("-q,--quiet", "Show nothing of the library's exchanges (the default)")->excludes(verboseOption);

    std::function<void(kq7tool::Sensor&)> run;

    CLI::App* info = app.add_subcommand("info", "Identity, band count, coefficients and wavelength range");
    info->callback([&] { run = kq7tool::RunInfo; });

    kq7tool::CaptureOptions capture;
    CLI::App* captureCommand = app.add_subcommand("capture", "Capture a spectrum at a shutter value");
    captureCommand->add_option("--shutter", capture.shutter, "Shutter value")->required()->check(CLI::Range(1, 1000000));
    captureCommand->add_flag("--dark", capture.dark, "Subtract a capture taken with the shutter closed");
    captureCommand->add_option("--average", capture.average, "Average this many captures")->check(CLI::Range(1, 1000));
    AddSpectrumOutput(*captureCommand, capture.output, capture.strict);
    captureCommand->callback([&] { run = [&](kq7tool::Sensor& sensor) { kq7tool::RunCapture(sensor, capture); }; });

    kq7tool::AutoOptions autoOptions;
    CLI::App* autoCommand = app.add_subcommand("auto", "Search the shutter value for a peak at a percentage of full scale");
    autoCommand->add_option("--percent", autoOptions.percent, "Target peak in percent of full scale")
        ->required()
        ->check(CLI::Range(1, 100));
    AddSpectrumOutput(*autoCommand, autoOptions.output, autoOptions.strict);
    autoCommand->callback([&] { run = [&](kq7tool::Sensor& sensor) { kq7tool::RunAuto(sensor, autoOptions); }; });

    kq7tool::StreamOptions stream;
    CLI::App* streamCommand = app.add_subcommand("stream", "Capture spectra one after another, a CSV row each");
    streamCommand->add_option("--shutter", stream.shutter, "Shutter value")->required()->check(CLI::Range(1, 1000000));
    streamCommand->add_option("--count", stream.count, "Number of spectra")->required()->check(CLI::Range(1, 100000000));
    streamCommand->add_option("--interval", stream.intervalSeconds, "Seconds from the start of one capture to the next")
        ->check(CLI::Range(0.0, 86400.0));
    streamCommand->add_option("-o,--output", stream.csvPath, "CSV file, written row by row ('-': standard output)")
        ->required();
    streamCommand->add_flag("!--no-metadata", stream.metadata, "Leave out the '# key: value' lines ahead of the header");
    streamCommand->add_flag("--strict", stream.strict, "Fail (exit 7) when a spectrum is saturated");
    streamCommand->callback([&] { run = [&](kq7tool::Sensor& sensor) { kq7tool::RunStream(sensor, stream); }; });

    std::string state;
    CLI::App* shutter = app.add_subcommand("shutter", "Open or close the shutter");
    shutter->add_option("state", state, "open or close")->required()->check(CLI::IsMember({"open", "close"}));
    shutter->callback([&] { run = [&](kq7tool::Sensor& sensor) { kq7tool::RunShutter(sensor, state == "open"); }; });

    std::vector<double> coefficients;
    kq7tool::CoefficientWriteOptions coeffOptions;
    CLI::App* coeff = app.add_subcommand(
        "coeff", "Show the wavelength coefficients, or write new ones a0 (cubic) to a3 (constant)");
    coeff->add_option("coefficients", coefficients, "A0 A1 A2 A3 (none: show the current ones)")->expected(4);
    coeff->add_flag("-y,--yes", coeffOptions.yes, "Write without asking");
    coeff->add_option("--backup", coeffOptions.backupPath,
                      "File for the current coefficients (default: kq7-coefficients-SERIAL-TIME.txt here)");
    coeff->callback([&] {
        run = [&](kq7tool::Sensor& sensor) {
            std::optional<kq7tool::Coefficients> values;
            if (coefficients.size() == 4) {
                values = kq7tool::Coefficients{coefficients[0], coefficients[1], coefficients[2], coefficients[3]};
            }
            kq7tool::RunCoeff(sensor, values, coeffOptions);
        };
    });

    kq7tool::CalibrateOptions calibrate;
    std::string lamp;
    CLI::App* calibrateCommand =
        app.add_subcommand("calibrate", "Calibrate the wavelength axis against a reference lamp and write the result");
    calibrateCommand->add_option("--lamp", lamp, "The lamp in front of the sensor: hgar (mercury-argon)")
        ->required()
        ->check(CLI::IsMember({kq7tool::kMercuryArgonLamp}));
    calibrateCommand->add_flag("-y,--yes", calibrate.write.yes, "Write without asking");
    calibrateCommand->add_option("--report", calibrate.reportPath, "Also write the report to this file");
    calibrateCommand->add_option("--backup", calibrate.write.backupPath,
                                 "File for the current coefficients (default: kq7-coefficients-SERIAL-TIME.txt here)");
    calibrateCommand->callback(
        [&] { run = [&](kq7tool::Sensor& sensor) { kq7tool::RunCalibrate(sensor, calibrate); }; });

#if defined(KQ7_WITH_SERVE)
    kq7tool::ServeOptions serve;
    CLI::App* serveCommand = app.add_subcommand("serve", "Show the live spectrum in a browser, with the bench's controls");
    serveCommand->add_option("--listen", serve.listen, "HOST:PORT to listen on (default 127.0.0.1:8477)");
    serveCommand->add_option("--allow-host", serve.allowHosts,
                             "Another host name that requests may give (with a --listen address other than loopback)");
    serveCommand->callback([&] { run = [&](kq7tool::Sensor& sensor) { kq7tool::RunServe(sensor, serve); }; });
#endif

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version are among these too.
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            return app.exit(error);
        }
        const std::string hint = kq7tool::PlacementHint(app, std::vector<std::string>(argv + 1, argv + argc));
        return UsageError(hint.empty() ? error.what() : hint);
    }
    sim = sim || port == kSimPort;
    if (!sim && port.empty()) {
        return UsageError("no sensor named: give its serial port with --port PATH, or --sim for the built-in "
                          "virtual sensor");
    }

    try {
        kq7tool::CatchInterrupt();
        const std::unique_ptr<kq7tool::ByteLink> link = OpenLink(port, baud, sim);
        kq7tool::Sensor sensor(*link, {sim ? kSimPort : port, sim ? 0 : baud, sim}, verbose);
        run(sensor);
    } catch (const kq7tool::Failure& failure) {
        std::fprintf(stderr, "kq7: %s\n", failure.what());
        return failure.Status();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kq7: %s\n", error.what());
        return kq7tool::kExitFailure;
    }
    return kq7tool::kExitOk;
}
