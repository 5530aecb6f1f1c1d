/* SPDX-License-Identifier: MIT */
#include "sensor/sensor.h"

namespace kq7 {

int ExchangeFailure(const Link& link) {
    switch (link.LastEnd()) {
        case ExchangeEnd::kRejected:
            return KQ7_ERR_REJECTED_REPLY;
        case ExchangeEnd::kBusy:
            return KQ7_ERR_BUSY;
        case ExchangeEnd::kCancelled:
            return KQ7_ERR_CANCELLED;
        case ExchangeEnd::kNoReply:
            break;
    }
    return KQ7_ERR_NO_REPLY;
}

}  // namespace kq7
