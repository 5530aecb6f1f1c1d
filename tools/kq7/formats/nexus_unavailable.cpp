/* SPDX-License-Identifier: MIT */
// The Windows kq7: Debian has no HDF5 for its cross compilers.
#include "kq7/failure.h"
#include "kq7/formats/nexus_writer.h"

namespace kq7tool {

namespace {

[[noreturn]] void Unavailable(const std::string& path) {
    throw Failure(kExitFailure, "cannot write " + path +
                                    ": this kq7 was built without HDF5 (as on Windows); write .csv or .jdx instead");
}

}  // namespace

void CheckNexusPath(const std::string& path) { Unavailable(path); }

void WriteNexusFile(const std::string& path, const SpectrumRecord&) { Unavailable(path); }

std::unique_ptr<SpectrumStream> OpenNexusStream(const std::string& path, const SpectrumHeader&) {
    Unavailable(path);
}

}  // namespace kq7tool
