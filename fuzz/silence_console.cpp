/* SPDX-License-Identifier: MIT */
// libFuzzer calls this once before the first input. The library prints a
// line per frame; to a fuzzer that is only lost time, so standard output goes
// to /dev/null. (Linked into each target directly: a weak hook in a static
// library would not be pulled in.)
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::perror("freopen /dev/null");
    }
    return 0;
}
