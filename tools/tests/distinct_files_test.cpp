/* SPDX-License-Identifier: MIT */
// Two names of one file among a command's outputs and its port.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "kq7/distinct_files.h"

namespace kq7tool {
namespace {

namespace fs = std::filesystem;

TEST(DistinctFiles, OneFileUnderTwoNamesIsRefused) {
    const fs::path folder = fs::path(::testing::TempDir()) / "kq7-distinct-files";
    fs::remove_all(folder);
    fs::create_directories(folder / "sub");
    std::ofstream(folder / "a.csv") << "x";
    std::ofstream(folder / "port") << "";
    const std::string in = folder.string() + "/";
    struct Case {
        std::string csv, plot;
        bool refused;
    };
    std::vector<Case> cases = {{in + "a.csv", in + "sub/../a.csv", true}, {"", in + "port", true},
                               {in + "a.csv", in + "b.csv", false}, {"-", "-", false}};
#if !defined(_WIN32)
    // Links and devices as a POSIX system has them.
    fs::create_hard_link(folder / "a.csv", folder / "hard.csv");
    fs::create_directory_symlink(folder / "sub", folder / "link");
    cases.insert(cases.end(), {{in + "a.csv", in + "hard.csv", true}, {in + "sub/new", in + "link/new", true},
                               {"/dev/null", "/dev/null", false}});
#endif
    for (const Case& c : cases) {
        EXPECT_EQ(c.refused, [&] {
            try {
                CheckDistinctFiles({{"-o", c.csv}, {"--plot", c.plot}}, {in + "port", 9600, false});
                return false;
            } catch (const Failure&) {
                return true;
            }
        }()) << c.csv << " " << c.plot;
    }
}

}  // namespace
}  // namespace kq7tool
