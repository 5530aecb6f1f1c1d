// SPDX-License-Identifier: MIT
// kq7 serve --broker: lists every sensor on the broker (/fleet.json), shows
// the chosen one (?sensor=SERIAL) live through app.js, and offers the
// controls only when its publisher takes settings. Without --broker the
// server has no /fleet.json and this does nothing.
"use strict";

(() => {
  const REFRESH_MS = 1000;
  const chosen = new URLSearchParams(location.search).get("sensor") || "";

  function age(seconds) {
    if (seconds === null) return "–";
    return seconds < 60 ? `${seconds.toFixed(1)} s ago` : `${Math.round(seconds / 60)} min ago`;
  }

  function row(sensor) {
    const tr = document.createElement("tr");
    tr.dataset.serial = sensor.serial;
    if (sensor.serial === chosen) tr.className = "chosen";
    const link = document.createElement("a");
    link.href = "?" + new URLSearchParams({ sensor: sensor.serial });
    link.textContent = sensor.serial;
    const cells = [link, sensor.host, sensor.state, age(sensor.age), sensor.rate.toFixed(1) + "/s"];
    for (const content of cells) {
      const td = document.createElement("td");
      td.append(content);
      tr.append(td);
    }
    tr.children[2].className = "pill";
    tr.children[2].dataset.state = sensor.state;
    return tr;
  }

  function show(sensors) {
    $("fleet").hidden = false;
    $("save-csv").hidden = true;
    $("fleet-list").tBodies[0].replaceChildren(...sensors.map(row));
    $("fleet-note").textContent = sensors.length ? "" : "no sensor heard on the broker yet";
    const current = sensors.find((s) => s.serial === chosen);
    for (const control of document.querySelectorAll(".controls")) {
      control.hidden = !(current && current.acceptsSettings);
    }
    if (!current && sensors.length) location.search = "?" + new URLSearchParams({ sensor: sensors[0].serial });
  }

  async function refresh() {
    const response = await fetch("/fleet.json").catch(() => null);
    if (response && response.status === 404) return;  // kq7 serve on a sensor of its own
    if (response && response.ok) show(await response.json());
    setTimeout(refresh, REFRESH_MS);
  }

  refresh();
})();
