/* SPDX-License-Identifier: MIT */
#include "kq7/serve/http_server.h"

#include <httplib.h>
#include <netdb.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "kq7/formats/csv.h"
#include "kq7/serve/connection_server.h"
#include "kq7/serve/host_names.h"
#include "kq7/serve/page_assets.h"
#include "kq7/serve/request_fields.h"
#include "kq7/serve/serve_limits.h"
#include "kq7/spectrum.h"
#include "kq7/utc_time.h"

namespace kq7serve {

namespace {

constexpr const char* kTokenHeader = "X-KQ7-Token";

constexpr const char* kPlainText = "text/plain; charset=utf-8";

// The page loads its scripts, styles and events from this server only, and
// no other site may show it in a frame (where a click on Pause or Take dark
// could be stolen).
const httplib::Headers kEveryAnswerHeaders = {
    {"Content-Security-Policy",
     "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; img-src 'self' data:; "
     "base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
    {"X-Frame-Options", "DENY"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
};

void Refuse(httplib::Response& response, int status, const std::string& reason) {
    response.status = status;
    response.set_content(reason + "\n", kPlainText);
}

void Accept(httplib::Response& response) {
    response.status = 204;
}

// The page with this run's token and the server's limits in it; the other
// assets as they are.
void ServeAsset(const Asset& asset, const std::string& token, httplib::Response& response) {
    std::string body(reinterpret_cast<const char*>(asset.data), asset.size);
    const std::pair<std::string, std::string> fills[] = {
        {"{{token}}", token},
        {"{{minShutter}}", std::to_string(kMinShutter)},
        {"{{maxShutter}}", std::to_string(kMaxShutter)},
    };
    bool filled = false;
    for (const auto& [placeholder, value] : fills) {
        for (size_t at = body.find(placeholder); at != std::string::npos; at = body.find(placeholder, at)) {
            body.replace(at, placeholder.size(), value);
            at += value.size();
            filled = true;
        }
    }
    if (filled) {
        response.set_header("Cache-Control", "no-store");
    }
    response.set_content(body, asset.contentType);
}

// "event: spectrum\ndata: {...}\n\n" for each event; a comment when none.
std::string EventStreamText(const std::vector<Event>& events) {
    if (events.empty()) {
        return ":\n\n";
    }
    std::string text;
    for (const Event& event : events) {
        text += std::string("event: ") + TopicName(event.topic) + "\ndata: " + event.data + "\n\n";
    }
    return text;
}

// "kq7-SIM00042-20261209-140327.csv"
std::string CsvFileName(const kq7tool::CapturedSpectrum& shown) {
    const std::string stamp = kq7tool::LocalTime(std::chrono::system_clock::now(), "%Y%m%d-%H%M%S");
    std::string serial;
    for (const char c : std::string(shown.info.identField2)) {
        serial += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return "kq7-" + serial + "-" + stamp + ".csv";
}

// The same file as kq7 capture -o writes for these settings.
std::string ShownCsv(const kq7tool::CapturedSpectrum& shown, const kq7tool::SensorPlace& place) {
    kq7tool::Spectrum spectrum;
    spectrum.wavelengthsNm = kq7tool::Wavelengths(shown.info);
    spectrum.counts = shown.counts;
    kq7tool::CsvMetadata metadata = kq7tool::MetadataFor(shown.info, place.port, place.virtualSensor);
    metadata.timeUtc = kq7tool::UtcTimestamp(shown.capturedAt);
    metadata.shutter = shown.shutter;
    metadata.averages = shown.average;
    metadata.darkSubtracted = shown.darkSubtracted;
    std::ostringstream csv;
    kq7tool::WriteSpectrumCsv(csv, spectrum, metadata);
    return csv.str();
}

}  // namespace

HttpServer::HttpServer(kq7tool::Engine& engine, const LiveView& view, Broadcast& broadcast,
                       kq7tool::SensorPlace place, std::string token)
    : engine_(&engine), view_(&view), eventsOf_([&broadcast](const std::string&) { return &broadcast; }),
      place_(std::move(place)), token_(std::move(token)), server_(std::make_unique<ConnectionServer>()) {
    server_->set_default_headers(kEveryAnswerHeaders);
    AddRoutes();
}

HttpServer::HttpServer(std::function<Broadcast*(const std::string& sensor)> eventsOf,
                       const std::function<void(httplib::Server&)>& addRoutes, std::string token)
    : eventsOf_(std::move(eventsOf)), token_(std::move(token)), server_(std::make_unique<ConnectionServer>()) {
    server_->set_default_headers(kEveryAnswerHeaders);
    AddRoutes();
    addRoutes(*server_);
}

HttpServer::~HttpServer() = default;

int HttpServer::Bind(const ListenAddress& address, const std::vector<std::string>& moreHostNames) {
    // A name that does not resolve would leave errno without a reason.
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;  // as the library looks it up
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(address.host.c_str(), nullptr, &hints, &found);
    if (lookup != 0) {
        throw std::runtime_error("cannot listen on " + HostPort(address.host, address.port) + ": " +
                                 gai_strerror(lookup));
    }
    freeaddrinfo(found);
    errno = 0;
    const int port = address.port == 0 ? server_->bind_to_any_port(address.host)
                                       : (server_->bind_to_port(address.host, address.port) ? address.port : -1);
    if (port < 0) {
        // The library keeps the reason in errno, from the socket, bind or
        // listen that failed; none when its own look-up of the name failed.
        const int reason = errno;
        const std::string why = reason == EADDRINUSE      ? "address in use (is another kq7 serve running?)"
                                : reason == EADDRNOTAVAIL ? "not an address of this computer"
                                : reason == EACCES        ? "permission denied (ports below 1024 need privileges)"
                                : reason == 0             ? "the name did not resolve to an address (try again)"
                                                          : std::strerror(reason);
        throw std::runtime_error("cannot listen on " + HostPort(address.host, address.port) + ": " + why);
    }
    port_ = port;
    hostNames_ = HostNamesFor(address, moreHostNames);
    return port;
}

void HttpServer::Run() { server_->listen_after_bind(); }

void HttpServer::Stop() { server_->Stop(); }

void HttpServer::Serve(httplib::Stream& connection) {
    while (connection.is_readable() && server_->AnswerOne(connection, false)) {
    }
}

void HttpServer::AddRoutes() {
    using httplib::Request;
    using httplib::Response;
    using HandlerResponse = httplib::Server::HandlerResponse;

    server_->set_pre_routing_handler([this](const Request& request, Response& response) {
        const std::string host = request.get_header_value("Host");
        if (!HostHeaderAllowed(host, hostNames_, port_)) {
            Refuse(response, 403, "refused: this server does not answer to the host name '" + host + "'");
            return HandlerResponse::Handled;
        }
        if (request.method != "POST") {
            return HandlerResponse::Unhandled;
        }
        // Browsers name the page that sends a POST; tools such as curl may not.
        if (request.has_header("Origin") && request.get_header_value("Origin") != "http://" + host) {
            Refuse(response, 403, "refused: the request comes from a page of another origin");
            return HandlerResponse::Handled;
        }
        if (request.get_header_value(kTokenHeader) != token_) {
            Refuse(response, 403, std::string("refused: missing or wrong ") + kTokenHeader +
                                      " (reload the page: the token changes with every start of kq7 serve)");
            return HandlerResponse::Handled;
        }
        return HandlerResponse::Unhandled;
    });

    // Whatever no route took: a reason instead of an empty page.
    // Every answer of 400 or more passes here, before the library cuts the
    // body to a Range header: a refusal goes whole, never as a 206 slice.
    // The request is the library's own, not a constant.
    server_->set_error_handler([](const Request& request, Response& response) {
        const_cast<Request&>(request).ranges.clear();
        if (!response.body.empty()) {
            return;
        }
        switch (response.status) {
        case 404:
            Refuse(response, 404, "no such page: " + request.method + " " + request.path);
            break;
        case 413:
            Refuse(response, 413,
                   "request body too large: at most " + std::to_string(kMaxRequestBytes) + " bytes");
            break;
        case 414:
            Refuse(response, 414, "request line too long: at most " +
                                          std::to_string(CPPHTTPLIB_REQUEST_URI_MAX_LENGTH) + " bytes");
            break;
        case 416:
            Refuse(response, 416, "unreadable byte range");
            break;
        default:
            Refuse(response, response.status, "bad request");
        }
    });

    for (std::size_t i = 0; i < kPageAssetCount; ++i) {
        const Asset& asset = kPageAssets[i];
        server_->Get(asset.path, [this, &asset](const Request&, Response& response) {
            ServeAsset(asset, token_, response);
        });
    }

    server_->Get("/events", [this](const Request& request, Response& response) {
        Broadcast* const events = eventsOf_(request.get_param_value("sensor"));
        if (events == nullptr) {
            Refuse(response, 404, "no such sensor: " + request.get_param_value("sensor"));
            return;
        }
        if (++eventStreams_ > kMaxEventStreams) {
            --eventStreams_;
            Refuse(response, 503, "too many open views (" + std::to_string(kMaxEventStreams) + "): close a tab");
            return;
        }
        response.set_header("Cache-Control", "no-store");
        auto seen = std::make_shared<Broadcast::Seen>();
        response.set_chunked_content_provider(
            "text/event-stream",
            [events, seen](size_t, httplib::DataSink& sink) {
                std::vector<Event> news;
                if (!events->Next(*seen, news, kEventWait)) {
                    sink.done();
                    return true;
                }
                const std::string text = EventStreamText(news);
                return sink.write(text.data(), text.size());
            },
            [this](bool) { --eventStreams_; });
    });

    if (engine_ == nullptr) {
        return;  // the fleet's routes take the rest
    }

    server_->Get("/spectrum.csv", [this](const Request&, Response& response) {
        const std::optional<kq7tool::CapturedSpectrum> shown = view_->Shown();
        if (!shown) {
            Refuse(response, 503, "no spectrum captured yet");
            return;
        }
        response.set_header("Content-Disposition", "attachment; filename=\"" + CsvFileName(*shown) + "\"");
        response.set_content(ShownCsv(*shown, place_), "text/csv; charset=utf-8");
    });

    server_->Post("/settings", [this](const Request& request, Response& response) {
        kq7tool::SettingsChange change;
        const std::string refusal = ReadSettingsChange(request.params, change);
        if (!refusal.empty()) {
            Refuse(response, 400, refusal);
            return;
        }
        engine_->Change(change);
        Accept(response);
    });

    server_->Post("/dark", [this](const Request&, Response& response) {
        engine_->TakeDark();
        Accept(response);
    });

    server_->Post("/reference", [this](const Request&, Response& response) {
        engine_->TakeReference();
        Accept(response);
    });

    server_->Post("/exposure", [this](const Request& request, Response& response) {
        int percent = 0;
        const std::string refusal = ReadPercent(request.params, percent);
        if (!refusal.empty()) {
            Refuse(response, 400, refusal);
            return;
        }
        engine_->SearchExposure(percent);
        Accept(response);
    });
}

}  // namespace kq7serve
