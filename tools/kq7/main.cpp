/* SPDX-License-Identifier: MIT */
// kq7: a command-line host for KQ7 spectral sensors, on a serial port or
// (--sim) on the built-in virtual sensor. Parses kq7's own options, lets the
// chosen command (commands/) run on the sensor and turns a failure into its
// message and exit status.
#include <CLI/CLI.hpp>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "kq7/commands/command.h"
#include "kq7/diagnostics.h"
#include "kq7/failure.h"
#include "kq7/interrupt.h"
#include "kq7/option_placement.h"
#include "kq7/port/reconnecting_port.h"
#include "kq7/port/sensor_finder.h"
#include "kq7/port/virtual_sensor_link.h"
#include "kq7/versions.h"
#include "options/numbers.h"

namespace {

constexpr int kDefaultBaud = 115200;
// --port takes this name for the built-in virtual sensor, as --sim does.
constexpr const char* kSimPort = "sim";

struct OpenedLink {
    std::unique_ptr<kq7tool::ByteLink> link;
    kq7tool::SensorSearch* search = nullptr;  // how a long run finds the sensor again
};

// The port, or the built-in virtual sensor shining `light`.
OpenedLink OpenLink(const std::string& port, int baud, bool sim, kq7sim::LightSource light) {
    if (sim) {
        kq7tool::SayError("using the built-in virtual sensor: the spectra are made up");
        kq7sim::SimConfig config;
        config.source = light;
        return {std::make_unique<kq7tool::VirtualSensorLink>(config)};
    }
    auto serial = std::make_unique<kq7tool::ReconnectingPort>(port, baud);
    kq7tool::SensorSearch* search = serial.get();
    return {std::move(serial), search};
}

int UsageError(const std::string& message) {
    kq7tool::SayError(message + " (see kq7 --help)");
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
    std::string sensorSerial;
    int baud = kDefaultBaud;
    bool sim = false;
    bool verbose = false;
    CLI::Option* portOption =
        app.add_option("--port", port, "Serial port of the sensor ('sim': the built-in virtual sensor)");
    CLI::Option* simOption = app.add_flag("--sim", sim, "Use the built-in virtual sensor (made-up spectra)");
    CLI::Option* sensorOption =
        app.add_option("--sensor", sensorSerial, "Serial number of the sensor: opens the port it is on (see kq7 list)");
    portOption->excludes(simOption);
    sensorOption->excludes(portOption)->excludes(simOption);
    CLI::Option* baudOption = app.add_option("--baud", baud, "Baud rate of the serial port (default 115200)");
    baudOption->check(kq7options::WholeNumberIn(1, 4000000))
        ->check(CLI::IsMember(kq7tool::SupportedBaudRates()).description("1200 to 4000000, as termios has them"));
    CLI::Option* verboseOption = app.add_flag("-v,--verbose", verbose, "Show the library's exchanges on standard error");
    // Quiet is the default; -q stays accepted for the scripts that give it.
    app.add_flag("-q,--quiet", "Show nothing of the library's exchanges (the default)")->excludes(verboseOption);

    kq7tool::Command chosen;
    kq7tool::AddList(app, chosen);
    kq7tool::AddInfo(app, chosen);
    kq7tool::AddCapture(app, chosen);
    kq7tool::AddReference(app, chosen);
    kq7tool::AddAuto(app, chosen);
    kq7tool::AddStream(app, chosen);
    kq7tool::AddShutter(app, chosen);
    kq7tool::AddCoeff(app, chosen);
    kq7tool::AddCalibrate(app, chosen);
#if defined(KQ7_WITH_SERVE)
    kq7tool::AddServe(app, chosen);
#endif
#if defined(KQ7_WITH_PUBLISH)
    kq7tool::AddPublish(app, chosen);
    kq7tool::AddRecord(app, chosen);
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
    if (baudOption->count() > 0 && portOption->count() == 0 && sensorOption->count() == 0) {
        return UsageError("--baud requires --port or --sensor");
    }
    sim = sim || port == kSimPort;
    if (!chosen.runAlone && !sim && port.empty() && sensorSerial.empty()) {
        return UsageError("no sensor named: give its serial port with --port PATH, or --sim for the built-in virtual "
                          "sensor, or its serial number with --sensor SERIAL");
    }

    try {
        kq7tool::CatchInterrupt();
        if (chosen.runAlone) {
            chosen.runAlone();
            return kq7tool::kExitOk;
        }
        if (!sensorSerial.empty()) {
            port = kq7tool::FindSensorPort(sensorSerial, baud);
        }
        const OpenedLink opened = OpenLink(port, baud, sim, chosen.virtualLight);
        kq7tool::Sensor sensor(*opened.link, {sim ? kSimPort : port, sim ? 0 : baud, sim}, verbose);
        sensor.SetSearch(opened.search);
        chosen.run(sensor);
    } catch (const kq7tool::Failure& failure) {
        kq7tool::SayError(failure.what());
        return failure.Status();
    } catch (const std::exception& error) {
        kq7tool::SayError(error.what());
        return kq7tool::kExitFailure;
    }
    return kq7tool::kExitOk;
}
