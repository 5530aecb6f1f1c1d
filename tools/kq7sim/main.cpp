/* SPDX-License-Identifier: MIT */
// kq7sim: a virtual KQ7 sensor on a pseudo-terminal. Prints the device path
// as its first line and serves until SIGTERM or SIGINT; with --link it keeps
// a symbolic link to that path for as long.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "kq7sim/device_link.h"
#include "kq7sim/pty_server.h"
#include "options/numbers.h"
#include "sim/sim_config.h"
#include "sim/virtual_sensor.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void RequestStop(int) { g_stop = 1; }

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"A virtual KQ7 spectral sensor on a pseudo-terminal"};
    bool pty = false;
    int bands = kq7sim::kDefaultBands;
    uint32_t seed = kq7sim::kDefaultSeed;
    std::string faultName = "none";
    int delayMs = 0;
    int baud = 0;
    std::string sourceName = "continuum";
    double driftNm = 0.0;
    bool showTrueCoefficients = false;
    std::string absorberText;
    std::string linkPath;
    app.add_flag("--pty", pty, "Serve on a new pseudo-terminal and print its path")->required();
    app.add_option("--bands", bands, "Number of bands")
        ->check(kq7options::WholeNumberIn(kq7sim::kMinBands, kq7sim::kMaxBands));
    app.add_option("--seed", seed, "Seed of the noise and of the serial number (seed 42: SIM00042)")
        ->check(kq7options::WholeNumberIn(0, UINT32_MAX));
    app.add_option("--link", linkPath,
                   "Keep a symbolic link PATH to the pseudo-terminal while serving, as udev keeps one to an adapter");
    app.add_option("--fault", faultName, "Fault to inject into every reply")
        ->check(CLI::IsMember({"none", "silent", "busy", "bad-crc", "stray", "chunked", "delay"}));
    app.add_option("--delay-ms", delayMs, "Wait before each reply (with --fault delay)")
        ->check(kq7options::WholeNumberIn(0, 60000));
    app.add_option("--baud", baud, "Add the transfer time of this baud rate to every reply")
        ->check(kq7options::WholeNumberIn(0, 10000000));
    app.add_option("--source", sourceName, "Light source: a continuum with lines, or a mercury-argon lamp")
        ->check(CLI::IsMember({"continuum", "hgar"}));
    app.add_option("--drift-nm", driftNm, "Report coefficients whose axis is off by between X/2 and X nm")
        ->check(kq7options::DecimalNumberIn(-50.0, 50.0));
    app.add_option("--absorber", absorberText,
                   "A sample in the light path: an absorption band CENTRE:FWHM:DEPTH (nm, nm, peak absorbance)")
        ->check([](const std::string& text) {
            return kq7sim::ParseAbsorber(text) ? "" : "expected CENTRE:FWHM:DEPTH, e.g. 550:40:0.8";
        });
    app.add_flag("--true-coefficients", showTrueCoefficients,
                 "Print the true coefficients (where the light really falls) to standard error");
    CLI11_PARSE(app, argc, argv);

    kq7sim::SimConfig config = kq7sim::SimConfig::For(bands, seed);
    config.fault = *kq7sim::ParseFault(faultName);
    config.delayMs = delayMs;
    config.source = *kq7sim::ParseLightSource(sourceName);
    config.driftNm = driftNm;
    if (!absorberText.empty()) {
        config.absorber = kq7sim::ParseAbsorber(absorberText);
    }

    // SIGTERM and SIGINT are blocked except while the server waits, so that a
    // stop request is never lost between two waits.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    try {
        kq7sim::PtyServer server(config, baud);
        std::unique_ptr<kq7sim::DeviceLink> link;
        if (!linkPath.empty()) {
            link = std::make_unique<kq7sim::DeviceLink>(server.SlavePath(), linkPath);
        }
        std::printf("%s\n", server.SlavePath().c_str());
        std::fflush(stdout);
        std::fprintf(stderr, "kq7sim: %s, %d bands, seed %u, fault %s, source %s, drift %g nm\n",
                     config.identification.c_str(), config.bands, config.seed, kq7sim::FaultName(config.fault),
                     kq7sim::LightSourceName(config.source), config.driftNm);
        if (config.absorber) {
            std::fprintf(stderr, "kq7sim: sample: absorption band at %g nm, %g nm wide, absorbance %g at its peak\n",
                         config.absorber->centreNm, config.absorber->fwhmNm, config.absorber->depth);
        }
        if (showTrueCoefficients) {
            const auto& a = config.coefficients;
            std::fprintf(stderr, "kq7sim: true coefficients a0=%.9g a1=%.9g a2=%.9g a3=%.9g\n", a[0], a[1], a[2], a[3]);
        }
        server.Serve(g_stop, waitMask);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kq7sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
