/* SPDX-License-Identifier: MIT */
// The virtual sensor behind a pseudo-terminal: any host program opens the
// slave side like a USB serial adapter.
#pragma once

#include <signal.h>

#include <string>

#include "sim/outbox.h"
#include "sim/sim_config.h"
#include "sim/virtual_sensor.h"

namespace kq7sim {

class PtyServer {
public:
    // Opens a pseudo-terminal in raw mode without echo. `baud` above 0 adds
    // the transfer time of that rate to every reply. Throws std::system_error.
    PtyServer(const SimConfig& config, int baud);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // The device a host opens, e.g. /dev/pts/3.
    const std::string& SlavePath() const { return slavePath_; }

    // Answers requests until `stop` is set. Waits with `waitMask` as the
    // signal mask, so that signals blocked outside the wait are taken only
    // while waiting. Throws std::system_error.
    void Serve(const volatile sig_atomic_t& stop, const sigset_t& waitMask);

private:
    void ReadRequests();
    void WriteDueReplies();

    int master_ = -1;
    // Held open for the server's life: a host may close and reopen the port
    // as often as it likes without the master seeing a hang-up, and the raw
    // line settings stay in place between hosts.
    int slave_ = -1;
    std::string slavePath_;
    VirtualSensor sensor_;
    Outbox outbox_;
    std::vector<uint8_t> unwritten_;  // due reply bytes the pty did not take yet
};

}  // namespace kq7sim
