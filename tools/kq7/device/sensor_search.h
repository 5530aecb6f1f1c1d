/* SPDX-License-Identifier: MIT */
// How a long run finds its sensor again after the port failed (an unplugged
// adapter): the port it talks through lets go, looks, and opens again.
#pragma once

#include <string>

namespace kq7tool {

class SensorSearch {
public:
    virtual ~SensorSearch() = default;
    // Lets go of the failed port.
    virtual void Drop() = 0;
    // One look for the sensor `serial` ("": whichever sensor comes back
    // where it was); true once a port is open on which it may be, for the
    // caller to identify. Never takes longer than a short probe.
    virtual bool Search(const std::string& serial) = 0;
    // The port opened holds another sensor: lets go of it and leaves it
    // alone for as long as it stays the same device. Returns its path.
    virtual std::string Refuse() = 0;
    // Ends a Search that runs and every later one, from any thread.
    virtual void Cancel() = 0;
};

}  // namespace kq7tool
