// The history that dosebridge-keeper keeps, shown when the keeper serves this
// page: a zoomable plot over every kept reading, quick ranges, min/mean/max of
// the visible range and CSV. Also asks the keeper to store the log before an erase.
"use strict";

// The keeper serves this page itself, so its API is on the page's own origin.
const SERVED_BY_HTTP = location.protocol === "http:" || location.protocol === "https:";
const HISTORY_PATH = "/api/history";
const POLL_PATH = "/api/poll";
const POLL_TIMEOUT_MS = 60000;  // the keeper answers after a full readout of the device
const DAY_SECONDS = 24 * 60 * 60;
const RANGE_SECONDS = { day: DAY_SECONDS, week: 7 * DAY_SECONDS, month: 30 * DAY_SECONDS };
const MEAN_DECIMALS = 4;
const MARKED_POINTS_BELOW = 60;  // draw a dot per reading only when they are few
const SERIES_COLOURS = ["#3a7bd5", "#d5533a", "#3aa55a", "#9a4fd5", "#d5a53a"];
// Service statuses after which the keeper holds everything the log held: it
// stored the log (0), or the log was empty (3).
const STORED_STATUSES = new Set([0, 3]);

let readings = [];  // {serial, id, time, radiation, period} texts as kept, plus value and seconds
let historyPlot = null;
let chosenRange = "all";  // the quick range shown, kept across reloads; null after a zoom
let keeperAnswers = false;

// The keeper sends readings in time order; sorts only if they are not.
function parseReadings(list) {
  if (!Array.isArray(list)) throw new Error("no readings");
  let ordered = true;
  for (let i = 0; i < list.length; i++) {
    const r = list[i];
    r.seconds = Number(r.time);
    r.value = Number(r.radiation);
    if (i > 0 && r.seconds < list[i - 1].seconds) ordered = false;
  }
  return ordered ? list : list.sort((a, b) => a.seconds - b.seconds);
}

// Loads the whole kept history. Without a keeper (file://, or it does not
// answer) the page shows how to start one instead.
async function loadHistory() {
  if (!SERVED_BY_HTTP) {
    showKeeperMissing();
    return;
  }
  try {
    const response = await fetch(HISTORY_PATH, { cache: "no-store" });
    if (!response.ok) throw new Error("HTTP " + response.status);
    readings = parseReadings((await response.json()).Readings);
    keeperAnswers = true;
    $("keeper-hint").hidden = true;
    showHistory();
  } catch (error) {
    showKeeperMissing();
  }
}

function showKeeperMissing() {
  keeperAnswers = false;
  $("keeper-hint").hidden = false;
  $("history").hidden = true;
  $("log-title").hidden = true;
}

// POSTs the keeper's poll; resolves with the service status of that poll and
// the keeper's error if it could not store the readings (then it answers 503).
// Rejects when no keeper answers with a poll result.
async function keeperPoll() {
  const response = await fetch(POLL_PATH, {
    method: "POST",
    cache: "no-store",
    signal: AbortSignal.timeout(POLL_TIMEOUT_MS),
  });
  const answer = await response.json();
  if (!/^-?[0-9]+$/.test(answer.Status)) throw new Error("no poll result");
  const status = Number(answer.Status);
  const error = answer.Error ?? (response.ok ? "" : "HTTP " + response.status);
  return { status, error };
}

function showHistory() {
  $("history").hidden = false;
  $("log-title").hidden = false;
  $("history-empty").hidden = readings.length > 0;
  $("history-help").hidden = readings.length === 0;
  for (const button of $("ranges").querySelectorAll("button")) button.disabled = readings.length === 0;
  $("history-save").disabled = readings.length === 0;
  drawHistory();
}

// One series per serial number, on the union of their times (readings are in
// time order, so equal times are neighbours).
function historySeries() {
  const times = [];
  const columns = new Array(readings.length);
  const serialIndex = new Map();
  readings.forEach((r, i) => {
    if (times.length === 0 || times[times.length - 1] !== r.seconds) times.push(r.seconds);
    columns[i] = times.length - 1;
    if (!serialIndex.has(r.serial)) serialIndex.set(r.serial, serialIndex.size);
  });
  const values = [...serialIndex.keys()].map(() => new Array(times.length).fill(null));
  readings.forEach((r, i) => { values[serialIndex.get(r.serial)][columns[i]] = r.value; });
  return { serials: [...serialIndex.keys()], data: [times, ...values] };
}

function drawHistory() {
  if (historyPlot) historyPlot.destroy();
  historyPlot = null;
  if (readings.length === 0) {
    $("history-span").textContent = "";
    $("history-stats").tBodies[0].replaceChildren();
    return;
  }
  const { serials, data } = historySeries();
  historyPlot = new uPlot({
    width: Math.min(document.body.clientWidth, 960),
    height: 300,
    cursor: { drag: { x: true, y: false } },
    series: [{}, ...serials.map((serial, i) => ({
      label: serial,
      stroke: SERIES_COLOURS[i % SERIES_COLOURS.length],
      width: 2,
      spanGaps: true,
      points: { show: data[0].length < MARKED_POINTS_BELOW },
    }))],
    axes: [{}, { label: "Radiation" }],
    hooks: { setScale: [(plot, key) => { if (key === "x") showVisibleRange(); }] },
  }, data, $("history-plot"));
  showRange(chosenRange ?? "all");
}

function rangeBounds(name) {
  const first = readings[0].seconds;
  const newest = readings[readings.length - 1].seconds;
  if (name === "all") return first === newest ? { min: first - DAY_SECONDS, max: newest } : { min: first, max: newest };
  return { min: newest - RANGE_SECONDS[name], max: newest };
}

function showRange(name) {
  if (historyPlot) historyPlot.setScale("x", rangeBounds(name));
}

// Updates the range buttons, the visible span and the statistics per serial.
function showVisibleRange() {
  const { min, max } = historyPlot.scales.x;
  chosenRange = null;
  for (const button of $("ranges").querySelectorAll("button")) {
    const bounds = rangeBounds(button.dataset.range);
    const shown = bounds.min === min && bounds.max === max;
    button.setAttribute("aria-pressed", String(shown));
    if (shown) chosenRange ??= button.dataset.range;
  }
  $("history-span").textContent = "From " + localTime(min) + " to " + localTime(max) + ".";
  const bySerial = new Map();
  for (const r of readings) {
    if (r.seconds < min || r.seconds > max) continue;
    let s = bySerial.get(r.serial);
    if (!s) bySerial.set(r.serial, (s = { count: 0, sum: 0, low: r, high: r }));
    s.count++;
    s.sum += r.value;
    if (r.value < s.low.value) s.low = r;
    if (r.value > s.high.value) s.high = r;
  }
  const rows = [...bySerial].map(([serial, s]) => {
    const row = document.createElement("tr");
    const mean = String(Number((s.sum / s.count).toFixed(MEAN_DECIMALS)));
    // Numbers as the device log's table shows them (0.07, not 0.07000000000000001).
    for (const text of [serial, s.count, String(s.low.value), mean, String(s.high.value)]) {
      const cell = document.createElement("td");
      cell.textContent = text;
      row.appendChild(cell);
    }
    return row;
  });
  $("history-stats").tBodies[0].replaceChildren(...rows);
}

// Quotes a field that holds a comma, a quote or a line break (RFC 4180).
function csvField(value) {
  const text = String(value);
  return /[",\r\n]/.test(text) ? '"' + text.replaceAll('"', '""') + '"' : text;
}

// The same columns as `dosebridge-keeper export`; texts exactly as kept.
function historyCsvText() {
  const lines = ["serial,id,time,time_utc,radiation,period"];
  for (const r of readings) {
    const utc = new Date(r.seconds * 1000).toISOString().replace(".000Z", "Z");
    lines.push([r.serial, r.id, r.time, utc, r.radiation, r.period].map(csvField).join(","));
  }
  return lines.join("\n") + "\n";
}

for (const button of $("ranges").querySelectorAll("button")) {
  button.addEventListener("click", () => showRange(button.dataset.range));
}
$("history-save").addEventListener("click", () => downloadText(historyCsvText(), "dosimeter-history.csv"));
