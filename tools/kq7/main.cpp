/* SPDX-License-Identifier: MIT */
// kq7: a command-line host for KQ7 spectral sensors. Without --port it talks
// to the built-in virtual sensor.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "kq7/commands.h"
#include "kq7/console.h"
#include "kq7/failure.h"
#include "kq7/host_link.h"
#include "kq7/serve/serve_command.h"
#include "kq7/serial_port.h"
#include "sim/in_process.h"
#include "sim/sim_config.h"

namespace {

constexpr int kDefaultBaud = 115200;

void AddSpectrumOutput(CLI::App& command, kq7tool::SpectrumOutput& output) {
    command.add_option("-o,--output", output.csvPath, "Write the spectrum as CSV to this file ('-': standard output)");
    command.add_option("--plot", output.svgPath, "Write an SVG plot of the spectrum to this file");
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kq7: identify a KQ7 spectral sensor, capture spectra, set its exposure"};
    app.require_subcommand(1);
    std::string port;
    int baud = kDefaultBaud;
    bool quiet = false;
    CLI::Option* portOption =
        app.add_option("--port", port, "Serial port of the sensor (default: the built-in virtual sensor)");
    // Rates the port cannot take are refused, with the list of those it can,
    // when the port is opened.
    app.add_option("--baud", baud, "Baud rate of the serial port")->needs(portOption);
    app.add_flag("-q,--quiet", quiet, "Silence the library's console lines");

    std::function<void()> run;

    CLI::App* info = app.add_subcommand("info", "Identity, band count, coefficients and wavelength range");
    info->callback([&] { run = kq7tool::RunInfo; });

    kq7tool::CaptureOptions capture;
    CLI::App* captureCommand = app.add_subcommand("capture", "Capture a spectrum at a shutter value");
    captureCommand->add_option("--shutter", capture.shutter, "Shutter value")->required()->check(CLI::Range(1, 1000000));
    captureCommand->add_flag("--dark", capture.dark, "Subtract a capture taken with the shutter closed");
    captureCommand->add_option("--average", capture.average, "Average this many captures")->check(CLI::Range(1, 1000));
    AddSpectrumOutput(*captureCommand, capture.output);
    captureCommand->callback([&] { run = [&] { kq7tool::RunCapture(capture); }; });

    int percent = 90;
    kq7tool::SpectrumOutput autoOutput;
    CLI::App* autoCommand = app.add_subcommand("auto", "Search the shutter value for a peak at a percentage of full scale");
    autoCommand->add_option("--percent", percent, "Target peak in percent of full scale")->required()->check(CLI::Range(1, 100));
    AddSpectrumOutput(*autoCommand, autoOutput);
    autoCommand->callback([&] { run = [&] { kq7tool::RunAuto(percent, autoOutput); }; });

    std::string state;
    CLI::App* shutter = app.add_subcommand("shutter", "Open or close the shutter");
    shutter->add_option("state", state, "open or close")->required()->check(CLI::IsMember({"open", "close"}));
    shutter->callback([&] { run = [&] { kq7tool::RunShutter(state == "open"); }; });

    std::vector<double> coefficients;
    CLI::App* coeff = app.add_subcommand("coeff", "Write the wavelength coefficients a0 (cubic) to a3 (constant)");
    coeff->add_option("coefficients", coefficients, "A0 A1 A2 A3")->required()->expected(4);
    coeff->callback([&] {
        run = [&] { kq7tool::RunCoeff({coefficients[0], coefficients[1], coefficients[2], coefficients[3]}); };
    });

    kq7tool::ServeOptions serve;
    CLI::App* serveCommand = app.add_subcommand("serve", "Show the live spectrum in a browser, with the bench's controls");
    serveCommand->add_option("--listen", serve.listen, "HOST:PORT to listen on (default 127.0.0.1:8477)");
    serveCommand->callback([&] {
        run = [&] {
            kq7tool::RunServe(serve, port.empty() ? kq7sim::InProcessWrite : kq7tool::SerialPortWrite,
                              port.empty() ? kq7sim::InProcessRead : kq7tool::SerialPortRead);
        };
    });

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help is one of these too.
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            return app.exit(error);
        }
        std::fprintf(stderr, "kq7: %s (see kq7 --help)\n", error.what());
        return kq7tool::kExitUsage;
    }

    try {
        kq7tool::SeparateDataFromConsole(quiet);
        if (port.empty()) {
            kq7sim::StartInProcess(kq7sim::SimConfig{});
            kq7tool::RegisterHostLink(kq7sim::InProcessWrite, kq7sim::InProcessRead);
        } else {
            kq7tool::OpenSerialPort(port, baud);
            kq7tool::RegisterHostLink(kq7tool::SerialPortWrite, kq7tool::SerialPortRead);
        }
        run();
    } catch (const kq7tool::Failure& failure) {
        std::fprintf(stderr, "kq7: %s\n", failure.what());
        return failure.Status();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kq7: %s\n", error.what());
        return kq7tool::kExitFailure;
    }
    return kq7tool::kExitOk;
}
