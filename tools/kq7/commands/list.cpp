/* SPDX-License-Identifier: MIT */
// kq7 list: the serial ports and the sensor on each, identified with short
// limits, all ports at once; a table, or JSON for scripts.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "kq7/commands/command.h"
#include "kq7/console.h"
#include "kq7/port/port_list.h"
#include "kq7/port/sensor_finder.h"
#include "kq7/port/sensor_probe.h"
#include "kq7/serve/json_object.h"

namespace kq7tool {

namespace {

constexpr int kListBaud = 115200;

struct ListOptions {
    bool all = false;
    bool json = false;
    std::vector<std::string> ports;  // probed as given instead of the system's
};

// One line of the table: a probe and what the system knows of its port.
struct Row {
    ProbeResult probe;
    const ListedPort* listed = nullptr;
};

// "0403:6001 FTDI FT232R USB UART A10K3ZQB", or "" for a port of no USB device.
std::string AdapterOf(const ListedPort* port) {
    if (port == nullptr || port->vendorId == 0) {
        return port != nullptr ? port->description : "";
    }
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", port->vendorId, port->productId);
    std::string text = ids;
    for (const std::string* part : {&port->manufacturer, &port->product, &port->serialNumber}) {
        text += part->empty() ? "" : " " + *part;
    }
    return text;
}

std::string RangeOf(const SensorIdentity& sensor) {
    char range[48];
    std::snprintf(range, sizeof range, "%.1f-%.1f nm", sensor.firstNm, sensor.lastNm);
    return range;
}

std::vector<std::string> Cells(const Row& row) {
    const ProbeResult& probe = row.probe;
    std::vector<std::string> cells = {probe.port, row.listed != nullptr ? row.listed->stableName : "",
                                      AdapterOf(row.listed)};
    if (probe.outcome == ProbeOutcome::Sensor) {
        cells.insert(cells.end(), {probe.sensor.model, probe.sensor.serial, std::to_string(probe.sensor.bands),
                                   RangeOf(probe.sensor)});
    } else {
        cells.push_back(std::string(ProbeOutcomeText(probe.outcome)) +
                        (probe.detail.empty() ? "" : ": " + probe.detail));
    }
    for (std::string& cell : cells) {
        cell = cell.empty() ? "-" : cell;
    }
    return cells;
}

std::string Table(const std::vector<Row>& rows) {
    std::vector<std::vector<std::string>> lines = {{"PORT", "STABLE NAME", "ADAPTER", "SENSOR", "SERIAL", "BANDS",
                                                    "RANGE"}};
    for (const Row& row : rows) {
        lines.push_back(Cells(row));
    }
    std::vector<size_t> widths(lines.front().size(), 0);
    for (const auto& line : lines) {
        // The last cell of a line is not padded: a long reason may run on.
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            widths[i] = std::max(widths[i], line[i].size());
        }
    }
    std::string text;
    for (const auto& line : lines) {
        for (size_t i = 0; i < line.size(); ++i) {
            const bool last = i + 1 == line.size();
            text += last ? line[i] : line[i] + std::string(widths[i] - line[i].size() + 2, ' ');
        }
        text += "\n";
    }
    return text;
}

std::string Json(const std::vector<Row>& rows) {
    std::string text = "[";
    for (const Row& row : rows) {
        const ProbeResult& probe = row.probe;
        kq7serve::JsonObject port;
        port.Text("port", probe.port)
            .Text("stableName", row.listed != nullptr ? row.listed->stableName : "")
            .Text("kind", row.listed != nullptr ? PortKindName(row.listed->kind) : "")
            .Text("adapter", AdapterOf(row.listed))
            .Text("state", ProbeOutcomeText(probe.outcome))
            .Text("detail", probe.detail);
        if (probe.outcome == ProbeOutcome::Sensor) {
            port.Text("model", probe.sensor.model)
                .Text("serial", probe.sensor.serial)
                .Number("bands", probe.sensor.bands)
                .Numbers("rangeNm", {probe.sensor.firstNm, probe.sensor.lastNm});
        }
        text += (text.size() > 1 ? ",\n " : "") + port.Str();
    }
    return text + "]\n";
}

void RunList(const ListOptions& options) {
    const std::vector<ListedPort> listed = ListSerialPorts();
    const std::vector<std::string> paths = options.ports.empty() ? CandidatePorts(listed, options.all) : options.ports;
    std::vector<Row> rows;
    for (ProbeResult& probe : ProbePorts(paths, kListBaud, kProbeLimit)) {
        Row row{std::move(probe)};
        const auto known = std::find_if(listed.begin(), listed.end(), [&row](const ListedPort& port) {
            return port.path == row.probe.port || port.stableName == row.probe.port;
        });
        row.listed = known != listed.end() ? &*known : nullptr;
        rows.push_back(std::move(row));
    }
    if (options.json) {
        WriteData(Json(rows));
    } else if (rows.empty()) {
        WriteData("no serial port found (--all lists every one; KQ7_PORTS names more)\n");
    } else {
        WriteData(Table(rows));
    }
}

}  // namespace

void AddList(CLI::App& app, Command& chosen) {
    const auto options = std::make_shared<ListOptions>();
    CLI::App* command = app.add_subcommand("list", "List the serial ports and the sensor on each");
    command->add_flag("--all", options->all, "Every serial port, not only USB adapters and ACM devices");
    command->add_flag("--json", options->json, "JSON for scripts instead of the table");
    command->add_option("PORT", options->ports, "Probe these ports (as given) instead of the system's");
    command->callback([&chosen, options] { chosen.runAlone = [options] { RunList(*options); }; });
}

}  // namespace kq7tool
