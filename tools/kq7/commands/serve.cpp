/* SPDX-License-Identifier: MIT */
// kq7 serve: the live spectrum in a browser, with the bench's controls.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "kq7/acquisition/engine.h"
#include "kq7/commands/broker_flags.h"
#include "kq7/commands/command.h"
#include "kq7/console.h"
#include "kq7/diagnostics.h"
#include "kq7/failure.h"
#include "kq7/publish/publish_limits.h"
#include "kq7/publish/subscriber.h"
#include "kq7/serve/broadcast.h"
#include "kq7/serve/fleet_control.h"
#include "kq7/serve/fleet_model.h"
#include "kq7/serve/fleet_routes.h"
#include "kq7/serve/host_names.h"
#include "kq7/serve/http_server.h"
#include "kq7/serve/listen_address.h"
#include "kq7/serve/live_view.h"
#include "kq7/serve/serve_limits.h"

namespace kq7tool {

namespace {

using kq7serve::ListenAddress;

struct ServeOptions {
    std::string listen;                   // HOST:PORT; empty: the default
    std::vector<std::string> allowHosts;  // more names the Host header may give
    BrokerFlags broker;                   // --broker: the fleet on it instead of a sensor
    std::string prefix = kq7publish::kDefaultPrefix;
};

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

// Binds `server` and says where it is.
void Listen(kq7serve::HttpServer& server, const ListenAddress& address, const ServeOptions& options) {
    int port = 0;
    try {
        port = server.Bind(address, options.allowHosts);
    } catch (const std::runtime_error& error) {
        throw Failure(kExitFailure, error.what());
    }
    if (!kq7serve::IsLoopback(address.host)) {
        Say("kq7 serve: warning: " + address.host +
            " is not a loopback address: whoever reaches it over the network, without a password, sees the live "
            "spectrum and can pause it, take a dark and change the exposure; requests must name this computer "
            "(its name or an address; --allow-host adds names)\n");
    }
    // Scripts (and the tests) read the address from this first line.
    WriteData("kq7 serve: http://" + kq7serve::HostPort(kq7serve::ReachableHost(address.host), port) +
              "/ (Ctrl-C stops)\n");
}

// kq7 serve --broker: every sensor on the broker, any one of them live.
void RunFleet(const ServeOptions& options) {
    const ListenAddress address = ListenOn(options);
    const kq7publish::BrokerOptions broker = ReadBrokerFlags(options.broker);
    const std::string prefixProblem = kq7publish::CheckPrefix(options.prefix);
    if (!prefixProblem.empty()) {
        throw Failure(kExitUsage, "--topic: " + prefixProblem);
    }
    const sigset_t stopSignals = BlockStopSignals();
    kq7serve::FleetModel fleet;
    kq7serve::FleetControl control(broker, options.prefix);
    kq7publish::Subscriber subscriber(broker, options.prefix, 0,
                                      [&fleet](const kq7publish::SensorTopicName& topic, const std::string& payload) {
                                          fleet.Take(topic, payload, kq7serve::FleetModel::Clock::now());
                                      });
    kq7serve::HttpServer server([&fleet](const std::string& sensor) { return fleet.Events(sensor); },
                                [&fleet, &control](httplib::Server& routes) {
                                    kq7serve::AddFleetRoutes(routes, fleet, control);
                                },
                                NewToken());
    Listen(server, address, options);
    subscriber.Start();
    control.Start();
    std::thread serving([&server] { server.Run(); });
    WaitForStopSignal(stopSignals);
    LetStopSignalsKill(stopSignals);
    fleet.Close();
    server.Stop();
    serving.join();
    Say("kq7 serve: stopped\n");
}

void RunServe(Sensor& sensor, const ServeOptions& options) {
    const ListenAddress address = ListenOn(options);
    const sigset_t stopSignals = BlockStopSignals();

    // The engine's thread alone drives the sensor from here on; the page
    // shows the waits, not a progress line.
    sensor.ShowWaits(false);
    kq7serve::Broadcast broadcast;
    kq7serve::LiveView view(broadcast);
    Settings settings;
    settings.shutter = kq7serve::kStartShutter;
    Pacing pacing;
    pacing.interval = kq7serve::kMinCaptureInterval;
    pacing.retry = true;
    pacing.retryPause = kq7serve::kRetryPause;
    pacing.reconnect = true;
    Engine engine(sensor, settings, pacing);
    engine.AddSink(view);
    kq7serve::HttpServer server(engine, view, broadcast, sensor.Place(), NewToken());
    Listen(server, address, options);
    engine.Start();
    std::thread serving([&server] { server.Run(); });

    WaitForStopSignal(stopSignals);
    LetStopSignalsKill(stopSignals);
    broadcast.Close();
    server.Stop();
    serving.join();
    engine.Stop();
    Say("kq7 serve: stopped\n");
}

}  // namespace

void AddServe(CLI::App& app, Command& chosen) {
    const auto options = std::make_shared<ServeOptions>();
    CLI::App* command = app.add_subcommand("serve", "Show the live spectrum in a browser, with the bench's controls");
    command->add_option("--listen", options->listen, "HOST:PORT to listen on (default 127.0.0.1:8477)");
    command->add_option("--allow-host", options->allowHosts,
                        "Another host name that requests may give (with a --listen address other than loopback)");
    AddBrokerFlags(*command, options->broker, false);
    command->add_option("--topic", options->prefix, "With --broker: the first topic levels (default kq7)");
    command->callback([&chosen, options] {
        if (options->broker.url.empty()) {
            chosen.run = [options](Sensor& sensor) { RunServe(sensor, *options); };
        } else {
            chosen.runAlone = [options] { RunFleet(*options); };
        }
    });
}

}  // namespace kq7tool
