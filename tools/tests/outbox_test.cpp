/* SPDX-License-Identifier: MIT */
#include "sim/outbox.h"

#include <gtest/gtest.h>

namespace kq7sim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes TakeAll(Outbox& outbox, int64_t nowUs, size_t max = 100) {
    Bytes out(max);
    out.resize(outbox.Take(out.data(), max, nowUs));
    return out;
}

TEST(OutboxTest, WithoutPacingEverythingIsDueAtOnce) {
    Outbox outbox(Pacing{});
    outbox.Push({1, 2, 3}, 1000);
    outbox.Push({4}, 1000);
    EXPECT_EQ(TakeAll(outbox, 1000, 2), (Bytes{1, 2}));
    EXPECT_EQ(TakeAll(outbox, 1000), (Bytes{3, 4}));
    EXPECT_TRUE(outbox.Empty());
}

TEST(OutboxTest, DelayHoldsAReplyBack) {
    SimConfig config;
    config.fault = Fault::Delay;
    config.delayMs = 50;
    Outbox outbox(PacingFor(config, 0));
    outbox.Push({1, 2}, 0);
    EXPECT_TRUE(TakeAll(outbox, 49999).empty());
    EXPECT_EQ(outbox.NextDueUs(), 50000);
    EXPECT_EQ(TakeAll(outbox, 50000), (Bytes{1, 2}));
}

TEST(OutboxTest, ChunkedRepliesComeAFewBytesAtATimeWithPauses) {
    SimConfig config;
    config.fault = Fault::Chunked;
    config.chunkSize = 2;
    Outbox outbox(PacingFor(config, 0));
    outbox.Push({1, 2, 3, 4, 5}, 0);
    EXPECT_EQ(TakeAll(outbox, 0), (Bytes{1, 2}));
    EXPECT_TRUE(TakeAll(outbox, kChunkGapUs - 1).empty());
    EXPECT_EQ(TakeAll(outbox, 10 * kChunkGapUs), (Bytes{3, 4})) << "never more than one chunk per read";
    EXPECT_EQ(TakeAll(outbox, 10 * kChunkGapUs), (Bytes{5}));
}

TEST(OutboxTest, BaudRateSetsTheTransferTime) {
    Outbox outbox(PacingFor(SimConfig{}, 9600));
    outbox.Push(Bytes(96, 0xAB), 0);
    // 96 bytes of 10 bits at 9600 baud take 100 ms.
    EXPECT_EQ(TakeAll(outbox, 50000).size(), 48u);
    EXPECT_EQ(TakeAll(outbox, 100000).size(), 48u);
}

TEST(OutboxTest, AReplyWaitsForTheOneBeforeIt) {
    Outbox outbox(PacingFor(SimConfig{}, 10000));  // 1 ms per byte
    outbox.Push({1, 2}, 0);
    outbox.Push({3}, 0);
    EXPECT_EQ(TakeAll(outbox, 2000), (Bytes{1, 2}));
    EXPECT_EQ(TakeAll(outbox, 3000), (Bytes{3}));
}

}  // namespace
}  // namespace kq7sim
