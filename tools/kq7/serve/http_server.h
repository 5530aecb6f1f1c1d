/* SPDX-License-Identifier: MIT */
// The web server of kq7 serve: the page, its event stream, the requests that
// change the acquisition, and the spectrum as CSV.
//
// Requests that change something are POSTs and carry the token that only the
// page served by this run knows (header X-KQ7-Token); a POST from a page of
// another origin is refused. A request whose Host names no name of this
// computer (a DNS name rebound to its address) is refused as well.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kq7/acquisition/engine.h"
#include "kq7/device/sensor.h"
#include "kq7/serve/broadcast.h"
#include "kq7/serve/listen_address.h"
#include "kq7/serve/live_view.h"

namespace httplib {
class Stream;
class Server;
struct Request;
}

namespace kq7serve {

class ConnectionServer;

class HttpServer {
public:
    // Requests go to `engine`, the spectrum saved as CSV comes from
    // `view`; `place` names the sensor's port in the CSV files.
    HttpServer(kq7tool::Engine& engine, const LiveView& view, Broadcast& broadcast, kq7tool::SensorPlace place,
               std::string token);
    // kq7 serve --broker: no sensor of its own. /events?sensor=SERIAL
    // streams what `eventsOf` gives for it (nullptr: none such);
    // `addRoutes` adds the requests.
    HttpServer(std::function<Broadcast*(const std::string& sensor)> eventsOf,
               const std::function<void(httplib::Server&)>& addRoutes, std::string token);
    ~HttpServer();

    // Binds to the address; returns the port (chosen by the system for
    // port 0). Requests may name the host as HostNamesFor(address,
    // moreHostNames) does. Throws std::runtime_error, with the reason, when
    // it cannot.
    int Bind(const ListenAddress& address, const std::vector<std::string>& moreHostNames);
    // Serves until Stop.
    void Run();
    void Stop();
    // Answers the requests that `connection` brings, one after another.
    void Serve(httplib::Stream& connection);

private:
    void AddRoutes();

    kq7tool::Engine* engine_ = nullptr;  // nullptr: --broker
    const LiveView* view_ = nullptr;
    const std::function<Broadcast*(const std::string& sensor)> eventsOf_;
    const kq7tool::SensorPlace place_;
    const std::string token_;
    std::unique_ptr<ConnectionServer> server_;
    std::atomic<int> eventStreams_{0};
    int port_ = 0;
    std::vector<std::string> hostNames_;
};

}  // namespace kq7serve
