// The viewer page in Debian's Chromium, opened from disk (file://), against the
// real service with the simulated dosimeter preloaded.
import { test } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { mkdtempSync, writeFileSync, readFileSync, mkdirSync } from "node:fs";
import { tmpdir } from "node:os";
import net from "node:net";
import path from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";
import { chromium } from "playwright-core";

const here = path.dirname(fileURLToPath(import.meta.url));
const pageUrl = pathToFileURL(path.join(here, "../../web/index.html")).href;
const binary = process.env.DOSEBRIDGE_BINARY;
const simLibrary = process.env.SIM_LIBRARY;
const artifacts = process.env.ARTIFACTS || path.join(here, "../../build/web-artifacts");
mkdirSync(artifacts, { recursive: true });

function portOpen() {
  return new Promise((resolve) => {
    const socket = net.connect(5000, "localhost");
    socket.once("connect", () => { socket.destroy(); resolve(true); });
    socket.once("error", () => resolve(false));
  });
}

async function startService(script) {
  const dir = mkdtempSync(path.join(tmpdir(), "dosebridge-web-"));
  writeFileSync(path.join(dir, "sim.conf"), script);
  const child = spawn(binary, [], {
    env: { ...process.env, LD_PRELOAD: simLibrary, DOSEBRIDGE_SIM: path.join(dir, "sim.conf") },
    stdio: "ignore",
  });
  for (let i = 0; i < 200 && !(await portOpen()); i++) await new Promise((r) => setTimeout(r, 25));
  return {
    stop: () => new Promise((resolve) => {
      child.once("exit", (code) => resolve(code));
      child.kill("SIGTERM");
    }),
  };
}

async function withPage(fn) {
  const browser = await chromium.launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
  try {
    const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1100, height: 900 } });
    const page = await context.newPage();
    await page.goto(pageUrl);
    await fn(page);
  } finally {
    await browser.close();
  }
}

// Opens the viewer against the service running `script`; the service must stop cleanly.
async function onViewer(script, fn) {
  const service = await startService(script);
  try {
    await withPage(fn);
  } finally {
    assert.equal(await service.stop(), 0);
  }
}

const FULL_LOG = "log 180\n";

test("a 180-point log shows the device, every row and the plot", async () => {
  await onViewer(FULL_LOG, async (page) => {
    await page.locator("#points tbody tr").nth(179).waitFor();
    assert.equal(await page.locator("#points tbody tr").count(), 180);
    assert.equal(await page.locator("#model").textContent(), "1212");
    assert.equal(await page.locator("#serial").textContent(), "0123456789abcd");
    assert.equal(await page.locator("#message").isHidden(), true);
    const first = await page.locator("#points tbody tr").first().locator("td").allTextContents();
    assert.equal(first[0], "1");
    assert.equal(first[1], new Date(1396440000 * 1000).toLocaleString("en-US"));
    assert.equal(first[3], "60");
    // uPlot drew one data series on a canvas.
    assert.equal(await page.locator("#plot .uplot canvas").count(), 1);
    assert.equal(await page.evaluate(() => document.querySelectorAll("#plot .u-legend .u-series").length), 2);
    await page.screenshot({ path: path.join(artifacts, "viewer-180-points.png") });
  });
});

test("no dosimeter gives the status 6 sentence", async () => {
  await onViewer("present 0\n", async (page) => {
    await page.locator("#message").waitFor();
    assert.equal(await page.locator("#message").textContent(),
      "No dosimeter found: is it plugged in? On Linux, see the udev rule.");
    assert.equal(await page.locator("#readings").isHidden(), true);
    await page.screenshot({ path: path.join(artifacts, "viewer-no-dosimeter.png") });
  });
});

test("an empty log gives the status 3 sentence", async () => {
  await onViewer("log 0\n", async (page) => {
    await page.locator("#message").waitFor();
    assert.equal(await page.locator("#message").textContent(), "The dosimeter's log is empty.");
    assert.equal(await page.locator("#serial").textContent(), "0123456789abcd");
  });
});

test("a service that is not running is named as such", async () => {
  assert.equal(await portOpen(), false, "port 5000 must be free for this test");
  await withPage(async (page) => {
    await page.locator("#message").waitFor({ timeout: 10000 });
    assert.match(await page.locator("#message").textContent(), /service is not answering at http:\/\/localhost:5000/);
    assert.equal(await page.locator("#progress").isHidden(), true);
  });
});

test("the log saves as CSV", async () => {
  await onViewer(FULL_LOG, async (page) => {
    await page.locator("#points tbody tr").nth(179).waitFor();
    const [download] = await Promise.all([page.waitForEvent("download"), page.click("#save")]);
    assert.equal(download.suggestedFilename(), "dosimeter-0123456789abcd.csv");
    const csv = readFileSync(await download.path(), "utf8").trimEnd().split("\n");
    assert.equal(csv.length, 181);
    assert.equal(csv[0], "id,time,local_time,radiation,period_minutes");
    const cells = csv[1].split(",");
    assert.equal(cells[0], "1");
    assert.equal(cells[1], "1396440000");
    const table = await page.locator("#points tbody tr").first().locator("td").allTextContents();
    assert.equal(cells.at(-2), table[2]);
    assert.equal(cells.at(-1), "60");
  });
});

test("erase asks first, offers to save, then erases", async () => {
  await onViewer(FULL_LOG, async (page) => {
    await page.locator("#points tbody tr").nth(179).waitFor();
    await page.click("#erase");
    assert.equal(await page.locator("#confirm-erase").isVisible(), true);
    assert.equal(await page.locator("#erase-save").isVisible(), true);
    await page.click("#erase-cancel");  // nothing happens on cancel
    await page.click("#read");
    await page.locator("#points tbody tr").nth(179).waitFor();
    await page.click("#erase");
    const [download] = await Promise.all([page.waitForEvent("download"), page.click("#erase-save")]);
    assert.equal(readFileSync(await download.path(), "utf8").trimEnd().split("\n").length, 181);
    await page.click("#erase-confirm");
    await page.locator("#message.ok").waitFor();
    assert.equal(await page.locator("#message").textContent(), "The dosimeter's log was erased.");
    assert.equal(await page.locator("#readings").isHidden(), true);
    await page.click("#read");
    await page.locator("#message:not(.ok)").waitFor();
    assert.equal(await page.locator("#message").textContent(), "The dosimeter's log is empty.");
  });
});
