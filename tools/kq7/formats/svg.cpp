/* SPDX-License-Identifier: MIT */
#include "kq7/formats/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kq7tool {

namespace {

constexpr double kWidth = 900;
constexpr double kHeight = 540;
constexpr double kLeft = 90;     // room for the count labels
constexpr double kRight = 30;
constexpr double kTop = 50;      // room for the title
constexpr double kBottom = 70;   // room for the wavelength labels
constexpr double kTickLength = 6;
constexpr int kWantedTicks = 8;
constexpr double kHeadroom = 1.05;  // above the highest count

struct Axis {
    double low;
    double high;
    double pixelLow;
    double pixelHigh;
    double Map(double value) const { return pixelLow + (value - low) / (high - low) * (pixelHigh - pixelLow); }
};

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Format(const char* format, double a, double b = 0, double c = 0, double d = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

std::string TickLabel(double value) { return Format("%g", value); }

std::string Text(double x, double y, const char* anchor, const std::string& text, const std::string& extra = "") {
    return Format("<text x=\"%.1f\" y=\"%.1f\"", x, y) + " text-anchor=\"" + anchor + "\"" + extra + ">" +
           Escaped(text) + "</text>\n";
}

std::string Line(double x1, double y1, double x2, double y2, const char* style) {
    return Format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"", x1, y1, x2, y2) + " " + style + "/>\n";
}

}  // namespace

std::vector<double> NiceTicks(double low, double high, int wanted) {
    if (!(high > low) || wanted < 1) {
        return {low};
    }
    const double rough = (high - low) / wanted;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10 * power;
    for (double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough) {
            step = factor * power;
            break;
        }
    }
    // Counted, not stepped: far from zero (a sensor's garbage calibration)
    // adding one to a huge multiple of the step changes nothing, and the
    // loop would never reach `high`. Since step >= rough, at most wanted + 1
    // ticks fit.
    std::vector<double> ticks;
    const double first = std::ceil(low / step);
    for (int i = 0; i <= wanted; ++i) {
        const double tick = (first + i) * step;
        if (!(tick <= high + step * 1e-9)) {
            break;
        }
        ticks.push_back(tick);
    }
    return ticks;
}

std::string SpectrumSvg(const Spectrum& spectrum) {
    const size_t n = std::min(spectrum.counts.size(), spectrum.wavelengthsNm.size());
    double xLow = 0, xHigh = 1, yLow = 0, yHigh = 1;
    if (n > 0) {
        const auto [minIt, maxIt] = std::minmax_element(spectrum.wavelengthsNm.begin(), spectrum.wavelengthsNm.begin() + n);
        xLow = *minIt;
        xHigh = std::max(*maxIt, xLow + 1);
        // Invalid bands (NaN) are left out of the axis and the line.
        double lowest = 0, highest = 0;
        for (size_t i = 0; i < n; ++i) {
            if (std::isfinite(spectrum.counts[i])) {
                lowest = std::min(lowest, spectrum.counts[i]);
                highest = std::max(highest, spectrum.counts[i]);
            }
        }
        // Ratios stay below 1: their axis ends above the highest, not at 1.
        yHigh = highest > 0 ? highest * kHeadroom : 1.0;
        // Dark-subtracted counts may be negative: the axis then reaches below 0.
        yLow = lowest * kHeadroom;
    }
    const Axis x{xLow, xHigh, kLeft, kWidth - kRight};
    const Axis y{yLow, yHigh, kHeight - kBottom, kTop};
    const char* axisStyle = "stroke=\"#000\" stroke-width=\"1\"";
    const char* gridStyle = "stroke=\"#ddd\" stroke-width=\"1\"";

    std::string svg = Format(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\" "
        "font-family=\"sans-serif\" font-size=\"13\">\n",
        kWidth, kHeight, kWidth, kHeight);
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    svg += Text(kWidth / 2, kTop / 2 + 5, "middle", spectrum.title, " font-size=\"16\"");

    for (double tick : NiceTicks(x.low, x.high, kWantedTicks)) {
        const double px = x.Map(tick);
        svg += Line(px, y.pixelHigh, px, y.pixelLow, gridStyle);
        svg += Line(px, y.pixelLow, px, y.pixelLow + kTickLength, axisStyle);
        svg += Text(px, y.pixelLow + kTickLength + 15, "middle", TickLabel(tick));
    }
    for (double tick : NiceTicks(y.low, y.high, kWantedTicks)) {
        const double py = y.Map(tick);
        svg += Line(x.pixelLow, py, x.pixelHigh, py, gridStyle);
        svg += Line(x.pixelLow - kTickLength, py, x.pixelLow, py, axisStyle);
        svg += Text(x.pixelLow - kTickLength - 4, py + 4, "end", TickLabel(tick));
    }
    svg += Line(x.pixelLow, y.pixelLow, x.pixelHigh, y.pixelLow, axisStyle);
    svg += Line(x.pixelLow, y.pixelLow, x.pixelLow, y.pixelHigh, axisStyle);
    svg += Text((x.pixelLow + x.pixelHigh) / 2, kHeight - 20, "middle", "Wavelength (nm)");
    const double yMid = (y.pixelLow + y.pixelHigh) / 2;
    svg += Text(22, yMid, "middle", spectrum.valueLabel, Format(" transform=\"rotate(-90 22 %.1f)\"", yMid));

    svg += "<polyline fill=\"none\" stroke=\"#1565c0\" stroke-width=\"1.2\" points=\"";
    for (size_t i = 0; i < n; ++i) {
        if (!std::isfinite(spectrum.counts[i])) {
            continue;
        }
        svg += Format("%.1f,%.1f ", x.Map(spectrum.wavelengthsNm[i]), y.Map(spectrum.counts[i]));
    }
    svg += "\"/>\n</svg>\n";
    return svg;
}

}  // namespace kq7tool
