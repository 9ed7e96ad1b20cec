// dosebridge viewer: loads the service's JSONP with script elements, shows the
// device, its log as a table and a plot, saves CSV and erases the log (after
// the keeper stored it, when the keeper serves the page; see history.js).
"use strict";

const SERVICE = "http://localhost:5000";
const TIMEOUT_MS = 20000;  // a real readout takes about a second

const STATUS_TEXT = {
  0: "",
  1: "Connecting to the dosimeter gave an unexpected result.",
  2: "Reading the dosimeter gave an unexpected result.",
  3: "The dosimeter's log is empty.",
  4: "Erasing the log gave an unexpected result.",
  5: "The dosimeter did not answer properly. Unplug it, plug it in again and retry.",
  6: "No dosimeter found: is it plugged in? On Linux, see the udev rule.",
  7: "The read request could not be sent to the dosimeter. Unplug it, plug it in again and retry.",
  8: "The dosimeter reported a bad point index.",
};
const NOT_RUNNING =
  "The dosebridge service is not answering at " + SERVICE + ". Is it running? " +
  "Start it with “make run”, or “systemctl --user start dosebridge” after installing it.";
const NO_COPY_FROM_DISK =
  "Nothing keeps a copy of this log. Open the page from the keeper (http://localhost:5001) to have it stored first.";
const NO_COPY_KEEPER_SILENT = "The keeper is not answering, so nothing keeps a copy of this log.";

const $ = (id) => document.getElementById(id);
let points = [];
let plot = null;
let callbackCount = 0;

// Loads SERVICE + path as a script; resolves with the document it passes to the callback.
function requestJsonp(path) {
  return new Promise((resolve, reject) => {
    const name = "dosebridgeCallback" + ++callbackCount;
    const script = document.createElement("script");
    const timer = setTimeout(() => finish(new Error("timeout")), TIMEOUT_MS);
    function finish(error, value) {
      clearTimeout(timer);
      delete window[name];
      script.remove();
      error ? reject(error) : resolve(value);
    }
    window[name] = (documentValue) => finish(null, documentValue);
    script.onerror = () => finish(new Error("unreachable"));
    script.src = SERVICE + path + "?callback=" + name;
    document.head.appendChild(script);
  });
}

function statusText(status) {
  return STATUS_TEXT[status] ?? "The service reported status " + status + ".";
}

function showMessage(text, ok = false) {
  $("message").textContent = text;
  $("message").hidden = !text;
  $("message").classList.toggle("ok", ok);
}

function setBusy(busy, label = "Reading the dosimeter…") {
  $("progress").hidden = !busy;
  $("progress").querySelector("span").textContent = label;
  for (const id of ["read", "erase"]) $(id).disabled = busy;
  $("save").disabled = busy || points.length === 0;
}

function localTime(seconds) {
  return new Date(seconds * 1000).toLocaleString();
}

function showDevice(info) {
  $("device").hidden = !info;
  if (!info) return;
  $("model").textContent = info.Model;
  $("serial").textContent = info.SerialNumber;
}

function showPoints() {
  $("readings").hidden = points.length === 0;
  $("save").disabled = points.length === 0;
  const rows = points.map((p) => {
    const row = document.createElement("tr");
    for (const text of [p.id, localTime(p.time), p.radiation, p.period]) {
      const cell = document.createElement("td");
      cell.textContent = text;
      row.appendChild(cell);
    }
    return row;
  });
  $("points").tBodies[0].replaceChildren(...rows);
  drawPlot();
}

function drawPlot() {
  if (plot) plot.destroy();
  plot = null;
  if (points.length === 0) return;
  const sorted = [...points].sort((a, b) => a.time - b.time);
  const data = [sorted.map((p) => p.time), sorted.map((p) => p.radiation)];
  plot = new uPlot({
    width: Math.min(document.body.clientWidth, 960),
    height: 300,
    series: [{}, { label: "Radiation", stroke: "#3a7bd5", width: 2, points: { show: sorted.length < 60 } }],
    axes: [{}, { label: "Radiation" }],
  }, data, $("plot"));
}

function parsePoints(list) {
  return (list || []).map((p) => ({
    id: Number(p.id),
    time: Number(p.time),
    radiation: Number(p.radiation),
    period: Number(p.period),
  }));
}

async function read() {
  setBusy(true);
  showMessage("");
  try {
    const doc = await requestJsonp("/");
    const status = Number(doc.Status);
    points = status === 0 ? parsePoints(doc.RadiationPoints) : [];
    showDevice(doc.DeviceInfo);
    showPoints();
    showMessage(statusText(status));
  } catch (error) {
    points = [];
    showDevice(null);
    showPoints();
    showMessage(NOT_RUNNING);
  } finally {
    setBusy(false);
  }
}

function csvText() {
  const lines = ["id,time,local_time,radiation,period_minutes"];
  for (const p of points) {
    lines.push([p.id, p.time, '"' + localTime(p.time) + '"', p.radiation, p.period].join(","));
  }
  return lines.join("\n") + "\n";
}

function downloadText(text, fileName) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([text], { type: "text/csv" }));
  link.download = fileName;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

function saveCsv() {
  downloadText(csvText(), "dosimeter-" + ($("serial").textContent || "dosimeter") + ".csv");
}

async function erase() {
  setBusy(true, "Erasing the log…");
  showMessage("");
  try {
    const doc = await requestJsonp("/Erase");
    const status = Number(doc.Status);
    if (status !== 0) {
      showMessage(statusText(status));
      return;
    }
    points = [];
    showPoints();
    showMessage("The dosimeter's log was erased.", true);
  } catch (error) {
    showMessage(NOT_RUNNING);
  } finally {
    setBusy(false);
  }
}

let eraseAfterStoring = false;

function askErase() {
  eraseAfterStoring = keeperAnswers;
  $("erase-kept").hidden = !eraseAfterStoring;
  $("erase-unkept").hidden = eraseAfterStoring;
  $("erase-unkept").textContent = SERVED_BY_HTTP ? NO_COPY_KEEPER_SILENT : NO_COPY_FROM_DISK;
  $("erase-confirm").textContent = eraseAfterStoring ? "Store, then erase" : "Erase";
  $("erase-save").hidden = points.length === 0;
  $("erase-hint").hidden = points.length === 0;
  $("confirm-erase").showModal();
}

// Erases only once the keeper holds everything the log holds. If the keeper
// does not answer, asks again, now saying that nothing keeps a copy.
async function storeThenErase() {
  setBusy(true, "Storing the log in the keeper's history…");
  showMessage("");
  let poll;
  try {
    poll = await keeperPoll();
  } catch (error) {
    setBusy(false);
    keeperAnswers = false;
    $("keeper-hint").hidden = false;
    askErase();
    return;
  }
  const refusal = "Nothing was erased, because the keeper could not store the log";
  if (poll.error) {
    setBusy(false);
    showMessage(refusal + ": " + poll.error);
    return;
  }
  if (!STORED_STATUSES.has(poll.status)) {
    setBusy(false);
    showMessage(refusal + ". " + (poll.status === -1 ? NOT_RUNNING : statusText(poll.status)));
    return;
  }
  await erase();
  await loadHistory();
}

function eraseConfirmed() {
  $("confirm-erase").close();
  return eraseAfterStoring ? storeThenErase() : erase();
}

function refresh() {
  return Promise.all([read(), loadHistory()]);
}

$("read").addEventListener("click", refresh);
$("save").addEventListener("click", saveCsv);
$("erase").addEventListener("click", askErase);
$("erase-save").addEventListener("click", saveCsv);
$("erase-confirm").addEventListener("click", eraseConfirmed);
$("erase-cancel").addEventListener("click", () => $("confirm-erase").close());
// history.js loads after this file; start once both are in.
document.addEventListener("DOMContentLoaded", refresh);
