/* SPDX-License-Identifier: MIT */
#include "kq7/serve/serve_command.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <random>
#include <stdexcept>
#include <thread>

#include "kq7/console.h"
#include "kq7/failure.h"
#include "kq7/serve/acquisition.h"
#include "kq7/serve/broadcast.h"
#include "kq7/serve/host_names.h"
#include "kq7/serve/http_server.h"
#include "kq7/serve/listen_address.h"
#include "kq7/serve/serve_limits.h"

namespace kq7tool {

namespace {

using kq7serve::ListenAddress;

ListenAddress ListenOn(const ServeOptions& options) {
    if (options.listen.empty()) {
        return ListenAddress{kq7serve::kDefaultHost, kq7serve::kDefaultPort};
    }
    const std::optional<ListenAddress> address = kq7serve::ParseListenAddress(options.listen);
    if (!address) {
        throw Failure(kExitUsage, "--listen takes HOST:PORT, e.g. 127.0.0.1:8477 or [::1]:8477, not '" +
                                      options.listen + "'");
    }
    return *address;
}

// 128 random bits as 32 hexadecimal digits.
std::string NewToken() {
    std::random_device random;
    std::string token;
    char digits[9];
    for (int i = 0; i < 4; ++i) {
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(random()));
        token += digits;
    }
    return token;
}

// Ctrl-C and SIGTERM are taken by WaitForStopSignal alone: blocked here,
// before any thread starts, so that every thread inherits the mask.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

void WaitForStopSignal(const sigset_t& signals) {
    int signal = 0;
    while (sigwait(&signals, &signal) != 0) {
    }
}

// While serve stops, a second Ctrl-C or a SIGTERM ends the process at once.
void LetStopSignalsKill(const sigset_t& signals) {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

}  // namespace

void RunServe(Sensor& sensor, const ServeOptions& options) {
    const ListenAddress address = ListenOn(options);
    const sigset_t stopSignals = BlockStopSignals();

    // The acquisition thread alone drives the sensor's device from here on;
    // the sensor's link still ends a call at once when the port fails.
    kq7_device* const device = sensor.Handle();
    kq7serve::Broadcast broadcast;
    kq7serve::Acquisition acquisition(device, broadcast);
    kq7serve::HttpServer server(acquisition, broadcast, sensor.Place(), NewToken());
    int port = 0;
    try {
        port = server.Bind(address, options.allowHosts);
    } catch (const std::runtime_error& error) {
        throw Failure(kExitFailure, error.what());
    }
    if (!kq7serve::IsLoopback(address.host)) {
        std::fprintf(stderr,
                     "kq7 serve: warning: %s is not a loopback address: whoever reaches it over the network, "
                     "without a password, sees the live spectrum and can pause it, take a dark and change the "
                     "exposure; requests must name this computer (its name or an address; --allow-host adds "
                     "names)\n",
                     address.host.c_str());
    }
    // Scripts (and the tests) read the address from this first line.
    WriteData("kq7 serve: http://" + kq7serve::HostPort(kq7serve::ReachableHost(address.host), port) +
              "/ (Ctrl-C stops)\n");
    acquisition.Start();
    std::thread serving([&server] { server.Run(); });

    WaitForStopSignal(stopSignals);
    LetStopSignalsKill(stopSignals);
    broadcast.Close();
    server.Stop();
    serving.join();
    acquisition.Stop();
    std::fputs("kq7 serve: stopped\n", stderr);
}

}  // namespace kq7tool
