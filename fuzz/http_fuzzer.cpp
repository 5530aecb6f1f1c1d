/* SPDX-License-Identifier: MIT */
// The web server of kq7 serve on arbitrary request bytes: the HTTP library's
// parser, then kq7 serve's own bounds on the request, its Host, origin and
// token checks, its routes and their form fields. The acquisition never
// starts (no sensor); the event stream is closed, so /events ends at once.
//
// Invariants: every answer carries the framing and sniffing headers, and no
// answer is larger than the largest file of the page plus its headers, so a
// short request can never make a huge answer (as many byte ranges did).
//
// "PORT" in an input stands for the port the server is bound to, so that a
// Host header can name it: the corpus writes "Host: 127.0.0.1:PORT".
#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdint>
#include <string>

#include "fuzz_require.h"
#include "kq7/acquisition/engine.h"
#include "kq7/device/sensor.h"
#include "kq7/port/byte_link.h"
#include "kq7/serve/broadcast.h"
#include "kq7/serve/http_server.h"
#include "kq7/serve/live_view.h"
#include "kq7/serve/page_assets.h"

namespace {

constexpr const char* kToken = "0123456789abcdef0123456789abcdef";
// The status line and headers of one answer, generously.
constexpr size_t kAnswerHeadBytes = 4096;

// The request bytes in, the answer bytes out.
class MemoryConnection : public httplib::Stream {
public:
    explicit MemoryConnection(std::string in) : in_(std::move(in)) {}

    bool is_readable() const override { return at_ < in_.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override {
        const size_t n = std::min(size, in_.size() - at_);
        std::copy_n(in_.data() + at_, n, ptr);
        at_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        out_.append(ptr, size);
        return static_cast<ssize_t>(size);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 40000;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 8477;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

    const std::string& Out() const { return out_; }

private:
    const std::string in_;
    size_t at_ = 0;
    std::string out_;
};

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

size_t LargestAsset() {
    size_t largest = 0;
    for (size_t i = 0; i < kq7serve::kPageAssetCount; ++i) {
        largest = std::max(largest, kq7serve::kPageAssets[i].size);
    }
    return largest;
}

// The engine is never started: the requests only queue settings for it.
class NoSensor : public kq7tool::ByteLink {
public:
    int64_t Write(const uint8_t*, int64_t length) override { return length; }
    int64_t Read(uint8_t*, int64_t) override { return 0; }
};

// Where the chunked body that starts at `at` ends (after its last, empty
// chunk), or the end of `out` when it is cut short.
size_t AfterChunks(const std::string& out, size_t at) {
    while (at < out.size()) {
        const size_t sizeEnd = out.find("\r\n", at);
        if (sizeEnd == std::string::npos) {
            return out.size();
        }
        const unsigned long long chunk = std::strtoull(out.c_str() + at, nullptr, 16);
        at = sizeEnd + 2 + chunk + 2;
        if (chunk == 0) {
            return std::min(at, out.size());
        }
    }
    return out.size();
}

struct Served {
    NoSensor link;
    kq7tool::Sensor sensor{link, kq7tool::SensorPlace{"sim", 0, true}, false};
    kq7tool::Engine engine{sensor, kq7tool::Settings{}, kq7tool::Pacing{}};
    kq7serve::Broadcast broadcast;
    kq7serve::LiveView view{broadcast};
    kq7serve::HttpServer server{engine, view, broadcast, kq7tool::SensorPlace{"sim", 0, true}, kToken};
    std::string port;

    Served() {
        broadcast.Close();
        port = std::to_string(server.Bind(kq7serve::ListenAddress{"127.0.0.1", 0}, {}));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Served served;
    std::string request(reinterpret_cast<const char*>(data), size);
    for (size_t at = request.find("PORT"); at != std::string::npos; at = request.find("PORT", at)) {
        request.replace(at, 4, served.port);
    }
    MemoryConnection connection(request);
    served.server.Serve(connection);

    const std::string& out = connection.Out();
    // Walk the answers by their heads and lengths: a body may hold anything
    // (a refusal quotes the request; a byte range cuts a body mid-line). A
    // closed event stream ends with its last chunk and the connection goes on.
    size_t answers = 0;
    for (size_t at = 0; at < out.size();) {
        const size_t headEnd = out.find("\r\n\r\n", at);
        KQ7_FUZZ_REQUIRE(headEnd != std::string::npos);
        const std::string head = out.substr(at, headEnd + 4 - at);
        ++answers;
        KQ7_FUZZ_REQUIRE(Count(head, "\r\nX-Frame-Options: DENY\r\n") == 1);
        KQ7_FUZZ_REQUIRE(Count(head, "\r\nX-Content-Type-Options: nosniff\r\n") == 1);
        at = headEnd + 4;
        if (out.compare(at, 5, "HTTP/") == 0) {
            continue;  // the answer to a HEAD request: the length without the body
        }
        const size_t length = head.find("\r\nContent-Length: ");
        if (length != std::string::npos) {
            at += std::strtoull(head.c_str() + length + 18, nullptr, 10);
        } else if (head.find("\r\nTransfer-Encoding: chunked\r\n") != std::string::npos) {
            at = AfterChunks(out, at);
        } else {
            break;  // a body that runs to the end of the connection
        }
    }
    KQ7_FUZZ_REQUIRE(out.size() <= answers * (LargestAsset() + kAnswerHeadBytes));
    return 0;
}
