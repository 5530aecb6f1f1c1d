// SPDX-License-Identifier: MIT
// The live view: draws each spectrum that kq7 serve pushes on /events and
// sends the controls' changes back as POSTs carrying this run's token.
"use strict";

const TOKEN = document.querySelector('meta[name="kq7-token"]').content;
const SLIDER_STEPS = 1000;
// No spectrum for this long while capturing: the plot greys out.
const STALE_MS = 3000;
// Typing in a number field sends its value once the typing pauses.
const SEND_DELAY_MS = 300;

const $ = (id) => document.getElementById(id);
// kq7 serve --broker: the sensor this page shows (fleet.js lists them all).
const SENSOR = new URLSearchParams(location.search).get("sensor") || "";
const FOR_SENSOR = SENSOR ? { sensor: SENSOR } : {};
// The shutter values the server takes, as it wrote them into the page.
const MIN_SHUTTER = Number($("shutter").min);
const MAX_SHUTTER = Number($("shutter").max);

let sensor = null;        // the last "sensor" event
let latest = null;        // the newest spectrum not yet drawn
let drawPending = false;
let lastSpectrumAt = 0;
let paused = false;
let plot = null;
let shownPeak = null;     // the peak of the spectrum on the chart

// ---- sending -------------------------------------------------------------

async function post(path, fields) {
  try {
    const response = await fetch(path, {
      method: "POST",
      headers: { "X-KQ7-Token": TOKEN },
      body: new URLSearchParams({ ...fields, ...FOR_SENSOR }),
    });
    showError(response.ok ? "" : (await response.text()).trim());
  } catch (error) {
    showError("kq7 serve does not answer: " + error.message);
  }
}

function showError(text) {
  $("error").hidden = text === "";
  $("error").textContent = text;
}

function debounce(fn) {
  let timer = 0;
  return (...args) => {
    clearTimeout(timer);
    timer = setTimeout(() => fn(...args), SEND_DELAY_MS);
  };
}

// ---- the shutter slider: logarithmic, as exposures are ---------------------

const LOG_SPAN = Math.log(MAX_SHUTTER / MIN_SHUTTER);
const sliderToShutter = (step) => Math.round(MIN_SHUTTER * Math.exp((step / SLIDER_STEPS) * LOG_SPAN));
const shutterToSlider = (shutter) => Math.round((Math.log(shutter / MIN_SHUTTER) / LOG_SPAN) * SLIDER_STEPS);

// ---- the chart -------------------------------------------------------------

// The colour a wavelength shows as; grey outside the visible range.
function wavelengthColour(nm) {
  const stops = [
    [380, [97, 0, 97]], [440, [0, 0, 255]], [490, [0, 255, 255]], [510, [0, 255, 0]],
    [580, [255, 255, 0]], [645, [255, 0, 0]], [780, [97, 0, 0]],
  ];
  if (nm < stops[0][0] || nm > stops[stops.length - 1][0]) {
    return "rgba(152, 162, 179, 0.25)";
  }
  for (let i = 1; i < stops.length; i++) {
    const [n1, c1] = stops[i];
    const [n0, c0] = stops[i - 1];
    if (nm <= n1) {
      const t = (nm - n0) / (n1 - n0);
      const c = c0.map((v, k) => Math.round(v + t * (c1[k] - v)));
      return `rgba(${c[0]}, ${c[1]}, ${c[2]}, 0.35)`;
    }
  }
}

function spectrumFill(u) {
  const left = u.bbox.left;
  const width = u.bbox.width;
  const gradient = u.ctx.createLinearGradient(left, 0, left + width, 0);
  const [low, high] = [u.scales.x.min, u.scales.x.max];
  for (let i = 0; i <= 40; i++) {
    const nm = low + ((high - low) * i) / 40;
    gradient.addColorStop(i / 40, wavelengthColour(nm));
  }
  return gradient;
}

// The full-scale line, dashed red, when the y axis reaches it.
function drawFullScale(u) {
  if (!sensor || shownQuantity !== "counts") return;
  const y = u.valToPos(sensor.fullScale, "y", true);
  if (y < u.bbox.top || y > u.bbox.top + u.bbox.height) return;
  const ctx = u.ctx;
  ctx.save();
  ctx.strokeStyle = "#d92d20";
  ctx.setLineDash([6, 4]);
  ctx.lineWidth = devicePixelRatio;
  ctx.beginPath();
  ctx.moveTo(u.bbox.left, y);
  ctx.lineTo(u.bbox.left + u.bbox.width, y);
  ctx.stroke();
  ctx.restore();
}

// A ring on the peak, labelled with its wavelength.
function drawPeak(u) {
  if (!shownPeak) return;
  const x = u.valToPos(shownPeak.nm, "x", true);
  const y = u.valToPos(shownPeak.counts, "y", true);
  const ctx = u.ctx;
  const px = devicePixelRatio;
  ctx.save();
  ctx.strokeStyle = "#2e5bff";
  ctx.lineWidth = 2 * px;
  ctx.beginPath();
  ctx.arc(x, y, 5 * px, 0, 2 * Math.PI);
  ctx.stroke();
  ctx.fillStyle = "#1d2433";
  ctx.font = `${12 * px}px system-ui, sans-serif`;
  ctx.textAlign = x > u.bbox.left + u.bbox.width * 0.85 ? "right" : "left";
  ctx.fillText(`${shownPeak.nm.toFixed(1)} nm`, x + (ctx.textAlign === "left" ? 9 : -9) * px, y + 4 * px);
  ctx.restore();
}

function chartSize() {
  const box = $("chart").getBoundingClientRect();
  return { width: Math.max(box.width, 300), height: Math.max(window.innerHeight - 190, 380) };
}

// How the plot shows what a spectrum holds: ratios in %, absorbance as it is.
const QUANTITY_AXES = {
  counts: { label: "Counts", scale: 1 },
  transmittance: { label: "Transmittance (%)", scale: 100 },
  absorbance: { label: "Absorbance (A)", scale: 1 },
  reflectance: { label: "Reflectance (%)", scale: 100 },
};
let shownQuantity = "counts";

function yRange(min, max) {
  if (shownQuantity !== "counts") return [Math.min(min, 0), Math.max(max * 1.08, shownQuantity === "absorbance" ? 1 : 100)];
  return [0, $("full-scale").checked && sensor ? sensor.fullScale * 1.02 : Math.max(max * 1.08, 100)];
}

function makePlot() {
  const axis = QUANTITY_AXES[shownQuantity];
  const options = {
    ...chartSize(),
    legend: { show: false },
    cursor: { points: { size: 6 } },
    scales: {
      x: { time: false },
      y: {
        range: (u, min, max) => yRange(min, max),
      },
    },
    axes: [
      { label: "Wavelength (nm)", grid: { stroke: "#eaecf0" }, ticks: { stroke: "#d0d5dd" } },
      { label: axis.label, size: 64, grid: { stroke: "#eaecf0" }, ticks: { stroke: "#d0d5dd" } },
    ],
    series: [{}, { label: axis.label, stroke: "#1d2939", width: 1.5, fill: spectrumFill, points: { show: false } }],
    hooks: { draw: [drawFullScale, drawPeak] },
  };
  plot = new uPlot(options, [[], []], $("chart"));
}

function draw() {
  drawPending = false;
  if (!latest || !sensor) return;
  const spectrum = latest;
  latest = null;
  // The y axis names what the spectrum holds: a new plot when that changes.
  if (spectrum.quantity !== shownQuantity && QUANTITY_AXES[spectrum.quantity]) {
    shownQuantity = spectrum.quantity;
    plot.destroy();
    makePlot();
  }
  $("chart").dataset.quantity = shownQuantity;
  const scale = QUANTITY_AXES[shownQuantity].scale;
  const values = shownQuantity === "counts" ? spectrum.counts : spectrum.values.map((v) => (v === null ? null : v * scale));
  shownPeak = shownQuantity === "counts" ? spectrum.peak : null;
  plot.setData([sensor.wavelengths, values]);
  $("chart").dataset.points = String(values.length);
  $("peak-counts").textContent = Math.round(spectrum.peak.counts).toLocaleString("en");
  $("peak-nm").textContent = spectrum.peak.nm.toFixed(1);
  $("peak-percent").textContent = spectrum.peak.percent.toFixed(1);
  $("saturated").hidden = !spectrum.saturated;
  $("rate").textContent = spectrum.rate.toFixed(1);
}

// ---- events from kq7 serve -------------------------------------------------

function onSensor(info) {
  sensor = info;
  const [first, last] = [info.wavelengths[0], info.wavelengths[info.wavelengths.length - 1]];
  $("identity").textContent = `${info.model} · serial ${info.serial} · ${info.bands} bands`;
  $("model").textContent = info.model;
  $("serial").textContent = info.serial;
  $("bands").textContent = info.bands;
  $("range").textContent = info.bands ? `${first.toFixed(1)} – ${last.toFixed(1)} nm` : "–";
  $("coefficients").innerHTML = info.coefficients
    .map((value, i) => `a${i} = ${value.toPrecision(6)}`)
    .join("<br>");
}

// Fields the user is editing keep what they typed.
function setField(id, value) {
  const field = $(id);
  if (document.activeElement !== field) field.value = value;
}

function onStatus(status) {
  const s = status.settings;
  $("state").dataset.state = status.state;
  $("state").textContent = status.text;
  $("last-error").textContent = status.lastError || "none";
  setField("shutter", s.shutter);
  setField("shutter-slider", shutterToSlider(s.shutter));
  setField("average", s.average);
  $("subtract-dark").checked = s.subtractDark;
  paused = s.paused;
  $("pause").textContent = paused ? "Resume" : "Pause";
  const note = $("dark-note");
  setField("quantity", s.quantity);
  const referenceNote = $("reference-note");
  if (status.referenceShutter === undefined) {
    referenceNote.textContent = "no reference yet: take one with the blank or white standard in place";
  } else {
    const scaled = status.referenceShutter !== s.shutter;
    referenceNote.textContent = `reference taken at shutter value ${status.referenceShutter}` + (scaled ? ", scaled to the current one" : "");
  }
  if (status.darkShutter === undefined) {
    note.textContent = "no dark spectrum yet";
    note.className = "note";
  } else {
    const other = status.darkShutter !== s.shutter;
    note.textContent = `dark taken at shutter value ${status.darkShutter}` + (other ? ", not the current one" : "");
    note.className = other ? "note warn" : "note";
  }
}

function onSpectrum(spectrum) {
  latest = spectrum;
  lastSpectrumAt = Date.now();
  $("chart").classList.remove("stale");
  // The browser draws at most once a frame: a spectrum that comes sooner
  // replaces the one waiting.
  if (!drawPending) {
    drawPending = true;
    requestAnimationFrame(draw);
  }
}

function connect() {
  const events = new EventSource("/events" + (SENSOR ? "?" + new URLSearchParams(FOR_SENSOR) : ""));
  events.addEventListener("sensor", (e) => onSensor(JSON.parse(e.data)));
  events.addEventListener("status", (e) => onStatus(JSON.parse(e.data)));
  events.addEventListener("spectrum", (e) => onSpectrum(JSON.parse(e.data)));
  events.onopen = () => showError("");
  events.onerror = () => {
    $("state").dataset.state = "offline";
    $("state").textContent = "kq7 serve unreachable";
  };
}

setInterval(() => {
  if (!paused && Date.now() - lastSpectrumAt > STALE_MS) {
    $("chart").classList.add("stale");
    $("rate").textContent = "–";
  }
}, 1000);

// ---- controls --------------------------------------------------------------

const sendShutter = debounce((value) => post("/settings", { shutter: value }));
$("shutter").addEventListener("input", () => {
  const value = Number($("shutter").value);
  if (Number.isInteger(value) && value >= MIN_SHUTTER && value <= MAX_SHUTTER) {
    $("shutter-slider").value = shutterToSlider(value);
    sendShutter(value);
  }
});
$("shutter-slider").addEventListener("input", () => {
  const value = sliderToShutter(Number($("shutter-slider").value));
  $("shutter").value = value;
  sendShutter(value);
});
const sendAverage = debounce((value) => post("/settings", { average: value }));
$("average").addEventListener("input", () => sendAverage($("average").value));
$("subtract-dark").addEventListener("change", () => post("/settings", { subtractDark: $("subtract-dark").checked }));
$("pause").addEventListener("click", () => post("/settings", { paused: !paused }));
$("take-dark").addEventListener("click", () => post("/dark", {}));
$("take-reference").addEventListener("click", () => post("/reference", {}));
$("quantity").addEventListener("change", () => post("/settings", { quantity: $("quantity").value }));
$("auto").addEventListener("click", () => post("/exposure", { percent: $("percent").value }));
$("full-scale").addEventListener("change", () => plot.setData(plot.data));

makePlot();
window.addEventListener("resize", () => plot.setSize(chartSize()));
connect();
