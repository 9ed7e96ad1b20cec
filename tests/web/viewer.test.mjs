// The viewer page in Debian's Chromium, opened from disk (file://), against the
// real service with the simulated dosimeter preloaded. No keeper serves it here.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import path from "node:path";
import { artifacts, pageFromDisk, portOpen, startService, withPage, withProcesses } from "./harness.mjs";

// Opens the viewer from disk against the service running `script`.
function onViewer(script, fn) {
  return withProcesses([() => startService(script)], () => withPage(pageFromDisk, fn));
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
    // From disk there is no history, only the line on how to get one.
    assert.equal(await page.locator("#history").isHidden(), true);
    assert.match(await page.locator("#keeper-hint").textContent(), /start the keeper/);
    assert.equal(await page.locator("#keeper-hint a").getAttribute("href"), "http://localhost:5001");
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
  await withPage(pageFromDisk, async (page) => {
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
    assert.equal(await page.locator("#erase-kept").isHidden(), true);
    assert.match(await page.locator("#erase-unkept").textContent(), /^Nothing keeps a copy of this log\./);
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
