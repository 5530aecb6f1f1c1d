/* SPDX-License-Identifier: MIT */
// A file that a run appends spectra to, one after another, as a stream's
// sink does.
#pragma once

#include <vector>

namespace kq7tool {

class SpectrumStream {
public:
    virtual ~SpectrumStream() = default;
    // One spectrum, taken `secondsSinceStart` after the run's start time (the
    // header's "time" field); on disk when this returns. Throws Failure.
    virtual void Append(double secondsSinceStart, const std::vector<double>& values) = 0;
};

}  // namespace kq7tool
