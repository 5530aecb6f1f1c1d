/* SPDX-License-Identifier: MIT */
// The JCAMP-DX and HDF5 files as other programs read them: JCAMP-DX by a
// small reader of its own here, HDF5 by h5py.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "kq7/failure.h"
#include "kq7/formats/jcamp_writer.h"
#include "kq7/formats/nexus_writer.h"

namespace kq7tool {
namespace {

const double kNan = std::nan("");

SpectrumRecord Absorbances() {
    SpectrumRecord record;
    record.header = {"Absorbance of a sample", {400.0, 450.5, 501.25}, Quantity::Absorbance,
                     {{"time", "2026-12-09T11:30:00Z"}, {"model", "KQ7"}, {"serial", "KQ7-SIM00042"},
                      {"shutter_value", "100"}, {"boxcar_half_width", "2"}}};
    record.values = {0.125, kNan, 0.75};
    return record;
}

class SpectrumFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("kq7-files-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string Path(const char* name) const { return (folder_ / name).string(); }
    // Runs `check` in Debian's Python with h5py on `file`; its exit status.
    static int H5py(const std::string& file, const std::string& check) {
        std::ofstream(file + ".py") << "import sys, h5py, numpy as np\nf = h5py.File(sys.argv[1], 'r')\n" << check;
        return std::system(("/usr/bin/python3 " + file + ".py " + file).c_str());
    }
    std::filesystem::path folder_;
};

TEST_F(SpectrumFilesTest, JcampHasTheRequiredRecordsAndLeavesInvalidBandsOut) {
    WriteJcampFile(Path("a.jdx"), Absorbances());
    std::ifstream file(Path("a.jdx"));
    std::map<std::string, std::string> records;
    std::vector<std::pair<double, double>> points;
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("##", 0) == 0) {
            records[line.substr(2, line.find('=') - 2)] = line.substr(line.find('=') + 1);
        } else {
            points.emplace_back(std::stod(line), std::stod(line.substr(line.find(',') + 1)));
        }
    }
    for (const char* label : {"TITLE", "JCAMP-DX", "DATA TYPE", "ORIGIN", "OWNER", "XUNITS", "YUNITS", "XFACTOR",
                              "YFACTOR", "FIRSTX", "LASTX", "FIRSTY", "NPOINTS", "XYPOINTS", "END"}) {
        EXPECT_EQ(records.count(label), 1u) << label;
    }
    EXPECT_EQ(records["JCAMP-DX"], "5.01");
    EXPECT_EQ(records["XUNITS"], "NANOMETERS");
    EXPECT_EQ(records["YUNITS"], "ABSORBANCE");
    EXPECT_EQ(records["XYPOINTS"], "(XY..XY)");
    EXPECT_EQ(records["$SHUTTER VALUE"], "100");
    EXPECT_EQ(records["$INVALID BANDS"], "1");
    EXPECT_EQ(records["NPOINTS"], "2");
    EXPECT_EQ(points, (std::vector<std::pair<double, double>>{{400.0, 0.125}, {501.25, 0.75}}));
    EXPECT_FALSE(std::filesystem::exists(Path("a.jdx.partial")));
}

TEST_F(SpectrumFilesTest, NexusSpectrumOpensInH5pyWithItsSignalAndAxis) {
    WriteNexusFile(Path("a.h5"), Absorbances());
    EXPECT_EQ(H5py(Path("a.h5"), R"(
e = f['entry']; d = e['data']
assert f.attrs['default'] == 'entry' and e.attrs['NX_class'] == 'NXentry' and e.attrs['default'] == 'data'
assert d.attrs['NX_class'] == 'NXdata' and d.attrs['signal'] == 'absorbance' and d.attrs['axes'] == 'wavelength'
assert d['wavelength'].attrs['units'] == 'nm' and list(d['wavelength']) == [400.0, 450.5, 501.25]
a = d['absorbance'][:]
assert a[0] == 0.125 and np.isnan(a[1]) and a[2] == 0.75
det = e['instrument/detector']
assert det.attrs['NX_class'] == 'NXdetector' and det['shutter_value'][()] == 100
assert det['serial_number'][()].decode() == 'KQ7-SIM00042'
)"),
              0);
    EXPECT_THROW(WriteNexusFile(Path("a.h5"), Absorbances()), Failure);
    EXPECT_FALSE(std::filesystem::exists(Path("a.h5.partial")));
}

// A stream killed with SIGKILL halfway leaves a file with every row it had
// appended: row k holds k in every band, taken k seconds after the start.
TEST_F(SpectrumFilesTest, NexusStreamKilledMidwayKeepsEveryAppendedRow) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = fork();
    if (child == 0) {
        auto stream = OpenNexusStream(Path("s.h5"), Absorbances().header);
        for (double k = 0;; ++k) {
            stream->Append(k, {k, k, k});
            if (write(pipe[1], "r", 1) != 1) {
                _exit(1);
            }
        }
    }
    char acknowledged[40];
    size_t rows = 0;
    while (rows < sizeof acknowledged) {
        const ssize_t got = read(pipe[0], acknowledged, sizeof acknowledged - rows);
        ASSERT_GT(got, 0);
        rows += static_cast<size_t>(got);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(pipe[0]);
    close(pipe[1]);
    EXPECT_EQ(H5py(Path("s.h5"), "d = f['entry/data']\nn = " + std::to_string(rows) + R"(
a = d['absorbance']; t = d['time']
assert list(d.attrs['axes']) == ['time', 'wavelength'] and d.attrs['time_indices'] == 0
assert a.shape[1] == 3 and a.shape[0] >= n and t.shape[0] >= n, (a.shape, n)
assert all((a[k] == k).all() and t[k] == k for k in range(n))
)"),
              0);
}

}  // namespace
}  // namespace kq7tool
