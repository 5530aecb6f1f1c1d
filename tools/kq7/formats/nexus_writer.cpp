/* SPDX-License-Identifier: MIT */
// HDF5's C interface: Debian's libhdf5-dev ships it for every architecture,
// it is the interface that h5py and the NeXus tools are built on, and it
// alone of the two offers every call used here (H5Fflush after each row
// included); its C++ wrapper adds a second library to ship for nothing.
#include "kq7/formats/nexus_writer.h"

#include <hdf5.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "kq7/failure.h"
#include "kq7/formats/whole_file.h"

namespace kq7tool {

namespace {

[[noreturn]] void Failed(const std::string& path, const char* what) {
    throw Failure(kExitFailure, "cannot write " + path + ": HDF5 failed to " + what);
}

// An HDF5 identifier, closed with its own close function when it goes.
class Id {
public:
    Id(hid_t id, herr_t (*close)(hid_t), const std::string& path, const char* what) : id_(id), close_(close) {
        if (id_ < 0) {
            Failed(path, what);
        }
    }
    Id(const Id&) = delete;
    Id& operator=(const Id&) = delete;
    ~Id() { close_(id_); }
    operator hid_t() const { return id_; }

private:
    hid_t id_;
    herr_t (*close_)(hid_t);
};

void Check(herr_t status, const std::string& path, const char* what) {
    if (status < 0) {
        Failed(path, what);
    }
}

// HDF5 prints its error stack to standard error unless told not to; the
// Failure says what went wrong instead.
void SilenceHdf5() { H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); }

// Units as NeXus takes them (UDUNITS): "1" for a ratio.
const char* Units(Quantity quantity) { return quantity == Quantity::Counts ? "counts" : "1"; }

// Text is stored as variable-length UTF-8, which h5py reads back as str.
class Writer {
public:
    Writer(hid_t file, std::string path) : file_(file), path_(std::move(path)) {}

    void StringAttribute(hid_t object, const char* name, const std::string& value) {
        StringsAttribute(object, name, {value}, false);
    }

    void StringsAttribute(hid_t object, const char* name, const std::vector<std::string>& values, bool array = true) {
        std::vector<const char*> texts;
        for (const std::string& value : values) {
            texts.push_back(value.c_str());
        }
        const hsize_t count = texts.size();
        Id space(array ? H5Screate_simple(1, &count, nullptr) : H5Screate(H5S_SCALAR), H5Sclose, path_,
                 "make a dataspace");
        Id type(TextType(), H5Tclose, path_, "make a text type");
        Id attribute(H5Acreate2(object, name, type, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose, path_,
                     "make an attribute");
        Check(H5Awrite(attribute, type, texts.data()), path_, "write an attribute");
    }

    void IntAttribute(hid_t object, const char* name, int value) {
        Id space(H5Screate(H5S_SCALAR), H5Sclose, path_, "make a dataspace");
        Id attribute(H5Acreate2(object, name, H5T_STD_I32LE, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose, path_,
                     "make an attribute");
        Check(H5Awrite(attribute, H5T_NATIVE_INT, &value), path_, "write an attribute");
    }

    hid_t Group(hid_t parent, const char* name, const char* nxClass) {
        const hid_t group = Keep(H5Gcreate2(parent, name, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose,
                                 "make a group");
        StringAttribute(group, "NX_class", nxClass);
        return group;
    }

    void TextField(hid_t group, const char* name, const std::string& value) {
        const char* text = value.c_str();
        Id space(H5Screate(H5S_SCALAR), H5Sclose, path_, "make a dataspace");
        Id type(TextType(), H5Tclose, path_, "make a text type");
        Id field(H5Dcreate2(group, name, type, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Dclose, path_,
                 "make a field");
        Check(H5Dwrite(field, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, &text), path_, "write a field");
    }

    // A number stays a number: "100" an integer, "0.5" a double, the rest text.
    void MetadataField(hid_t group, const std::string& name, const std::string& value) {
        char* end = nullptr;
        const long long whole = std::strtoll(value.c_str(), &end, 10);
        if (!value.empty() && *end == '\0') {
            ScalarField(group, name.c_str(), H5T_STD_I64LE, H5T_NATIVE_LLONG, &whole);
            return;
        }
        const double real = std::strtod(value.c_str(), &end);
        if (!value.empty() && *end == '\0') {
            ScalarField(group, name.c_str(), H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, &real);
            return;
        }
        TextField(group, name.c_str(), value);
    }

    // A dataset of `rank` dimensions shaped `dims`; `maxDims` and `chunk`
    // (both or neither) make it extensible.
    hid_t Doubles(hid_t group, const char* name, int rank, const hsize_t* dims, const hsize_t* maxDims,
                  const hsize_t* chunk, const double* values, const char* units) {
        Id space(H5Screate_simple(rank, dims, maxDims), H5Sclose, path_, "make a dataspace");
        Id create(H5Pcreate(H5P_DATASET_CREATE), H5Pclose, path_, "make dataset properties");
        if (chunk != nullptr) {
            Check(H5Pset_chunk(create, rank, chunk), path_, "set a chunk size");
        }
        const hid_t dataset = Keep(H5Dcreate2(group, name, H5T_IEEE_F64LE, space, H5P_DEFAULT, create, H5P_DEFAULT),
                                   H5Dclose, "make a dataset");
        if (values != nullptr) {
            Check(H5Dwrite(dataset, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values), path_,
                  "write a dataset");
        }
        StringAttribute(dataset, "units", units);
        return dataset;
    }

    // Datasets before the groups that hold them.
    ~Writer() {
        for (auto kept = kept_.rbegin(); kept != kept_.rend(); ++kept) {
            kept->close(kept->id);
        }
    }

    const std::string& Path() const { return path_; }
    hid_t File() const { return file_; }

private:
    struct Kept {
        hid_t id;
        herr_t (*close)(hid_t);
    };

    // `id`, closed with the writer.
    hid_t Keep(hid_t id, herr_t (*close)(hid_t), const char* what) {
        if (id < 0) {
            Failed(path_, what);
        }
        kept_.push_back({id, close});
        return id;
    }

    hid_t TextType() {
        const hid_t type = H5Tcopy(H5T_C_S1);
        if (type >= 0) {
            H5Tset_size(type, H5T_VARIABLE);
            H5Tset_cset(type, H5T_CSET_UTF8);
        }
        return type;
    }

    void ScalarField(hid_t group, const char* name, hid_t fileType, hid_t memoryType, const void* value) {
        Id space(H5Screate(H5S_SCALAR), H5Sclose, path_, "make a dataspace");
        Id field(H5Dcreate2(group, name, fileType, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Dclose, path_,
                 "make a field");
        Check(H5Dwrite(field, memoryType, H5S_ALL, H5S_ALL, H5P_DEFAULT, value), path_, "write a field");
    }

    hid_t file_;
    std::string path_;
    std::vector<Kept> kept_;
};

// Everything but the values: the groups, the metadata, the wavelength axis;
// returns the NXdata group.
hid_t WriteLayout(Writer& writer, const SpectrumHeader& header, bool stream) {
    const std::string start = FieldValue(header.metadata, "time");
    writer.StringAttribute(writer.File(), "default", "entry");
    writer.StringAttribute(writer.File(), "creator", "kq7 " + FieldValue(header.metadata, "kq7_version"));
    writer.StringAttribute(writer.File(), "file_time", start);

    const hid_t entry = writer.Group(writer.File(), "entry", "NXentry");
    writer.StringAttribute(entry, "default", "data");
    writer.TextField(entry, "title", header.title);
    writer.TextField(entry, "start_time", start);

    const hid_t instrument = writer.Group(entry, "instrument", "NXinstrument");
    writer.TextField(instrument, "name", FieldValue(header.metadata, "model"));
    const hid_t detector = writer.Group(instrument, "detector", "NXdetector");
    writer.TextField(detector, "serial_number", FieldValue(header.metadata, "serial"));
    for (const auto& [key, value] : header.metadata) {
        if (key != "serial") {
            writer.MetadataField(detector, key, value);
        }
    }

    const hid_t data = writer.Group(entry, "data", "NXdata");
    const std::string signal = QuantityName(header.quantity);
    writer.StringAttribute(data, "signal", signal);
    if (stream) {
        writer.StringsAttribute(data, "axes", {"time", "wavelength"});
        writer.IntAttribute(data, "time_indices", 0);
        writer.IntAttribute(data, "wavelength_indices", 1);
    } else {
        writer.StringAttribute(data, "axes", "wavelength");
        writer.IntAttribute(data, "wavelength_indices", 0);
    }
    const hsize_t bands = header.wavelengthsNm.size();
    const hid_t wavelength =
        writer.Doubles(data, "wavelength", 1, &bands, nullptr, nullptr, header.wavelengthsNm.data(), "nm");
    writer.StringAttribute(wavelength, "long_name", "Wavelength (nm)");
    return data;
}

// The values band by band, NaN beyond the given ones.
std::vector<double> Row(const std::vector<double>& values, size_t bands) {
    std::vector<double> row(bands, std::numeric_limits<double>::quiet_NaN());
    for (size_t i = 0; i < bands && i < values.size(); ++i) {
        row[i] = values[i];
    }
    return row;
}

class NexusStream : public SpectrumStream {
public:
    NexusStream(const std::string& path, const SpectrumHeader& header)
        : file_(H5Fcreate(path.c_str(), H5F_ACC_EXCL, H5P_DEFAULT, H5P_DEFAULT), H5Fclose, path, "create the file"),
          writer_(file_, path),
          bands_(header.wavelengthsNm.size()) {
        try {
            WriteStart(header);
        } catch (...) {
            // The file is this stream's own (it was created new): no half-made file stays.
            std::remove(path.c_str());
            throw;
        }
    }

    void Append(double secondsSinceStart, const std::vector<double>& values) override {
        const std::vector<double> row = Row(values, bands_);
        AppendRow(signal_, 2, row.data());
        AppendRow(time_, 1, &secondsSinceStart);
        ++rows_;
        Check(H5Fflush(file_, H5F_SCOPE_LOCAL), writer_.Path(), "flush the file");
    }

private:
    void WriteStart(const SpectrumHeader& header) {
        const std::string& path = writer_.Path();
        const hid_t data = WriteLayout(writer_, header, true);
        const hsize_t dims[2] = {0, bands_};
        const hsize_t maxDims[2] = {H5S_UNLIMITED, bands_};
        const hsize_t chunk[2] = {1, bands_ > 0 ? bands_ : 1};
        signal_ = writer_.Doubles(data, QuantityName(header.quantity), 2, dims, maxDims, chunk, nullptr,
                                  Units(header.quantity));
        writer_.StringAttribute(signal_, "long_name", QuantityLabel(header.quantity));
        // Times are small: many to a chunk.
        const hsize_t timeChunk = 256;
        time_ = writer_.Doubles(data, "time", 1, dims, maxDims, &timeChunk, nullptr, "s");
        writer_.StringAttribute(time_, "start", FieldValue(header.metadata, "time"));
        Check(H5Fflush(file_, H5F_SCOPE_LOCAL), path, "flush the file");
    }

    // Grows `dataset` by row rows_ and writes it.
    void AppendRow(hid_t dataset, int rank, const double* values) {
        const std::string& path = writer_.Path();
        const hsize_t size[2] = {rows_ + 1, bands_};
        Check(H5Dset_extent(dataset, size), path, "extend a dataset");
        Id fileSpace(H5Dget_space(dataset), H5Sclose, path, "get a dataspace");
        const hsize_t start[2] = {rows_, 0};
        const hsize_t count[2] = {1, bands_};
        Check(H5Sselect_hyperslab(fileSpace, H5S_SELECT_SET, start, nullptr, count, nullptr), path, "select a row");
        Id memorySpace(H5Screate_simple(rank, count, nullptr), H5Sclose, path, "make a dataspace");
        Check(H5Dwrite(dataset, H5T_NATIVE_DOUBLE, memorySpace, fileSpace, H5P_DEFAULT, values), path,
              "write a row");
    }

    Id file_;
    Writer writer_;
    hsize_t bands_;
    hsize_t rows_ = 0;
    hid_t signal_ = -1;
    hid_t time_ = -1;
};

}  // namespace

void CheckNexusPath(const std::string& path) { RefuseExisting(path); }

void WriteNexusFile(const std::string& path, const SpectrumRecord& record) {
    SilenceHdf5();
    WriteWholeFile(path, true, [&](const std::string& partial) {
        Id file(H5Fcreate(partial.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT), H5Fclose, path,
                "create the file");
        {
            Writer writer(file, path);
            const hid_t data = WriteLayout(writer, record.header, false);
            const std::vector<double> values = Row(record.values, record.header.wavelengthsNm.size());
            const hsize_t bands = values.size();
            const hid_t signal = writer.Doubles(data, QuantityName(record.header.quantity), 1, &bands, nullptr,
                                                nullptr, values.data(), Units(record.header.quantity));
            writer.StringAttribute(signal, "long_name", QuantityLabel(record.header.quantity));
        }
        Check(H5Fflush(file, H5F_SCOPE_LOCAL), path, "flush the file");
    });
}

std::unique_ptr<SpectrumStream> OpenNexusStream(const std::string& path, const SpectrumHeader& header) {
    SilenceHdf5();
    RefuseExisting(path);
    return std::make_unique<NexusStream>(path, header);
}

}  // namespace kq7tool
