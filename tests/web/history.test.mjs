// The viewer served by the real keeper: the kept history (plot, ranges, zoom,
// statistics, CSV) and the erase that waits until the keeper stored the log.
import { test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync, spawn } from "node:child_process";
import { once } from "node:events";
import { readFileSync } from "node:fs";
import path from "node:path";
import { artifacts, startKeeper, startService, withPage, withProcesses } from "./harness.mjs";

const DAY = 24 * 60 * 60;
const NEWEST = 1399896000;  // 12 May 2014, 12:00 UTC
const SERIAL = "0123456789abcd";  // the simulator's default
const HOURLY = 4;  // the device's period code for 60 minutes

// One log entry as the dosimeter stores it: flag, id, time (LE32), radiation
// word (LE16; hundredths with the top bits clear), period code.
function entryLine(index, { id, time, hundredths }) {
  const bytes = (value, count) =>
    Array.from({ length: count }, (_, i) => ((value >>> (8 * i)) & 0xff).toString(16).padStart(2, "0"));
  return ["entry", index, "00", "01", ...bytes(id, 1), ...bytes(time, 4), ...bytes(hundredths, 2),
    ...bytes(HOURLY, 1)].join(" ");
}

// Readings spread so that each quick range shows one more of them.
const SPREAD = [
  { id: 1, time: NEWEST - 40 * DAY, hundredths: 50 },
  { id: 2, time: NEWEST - 20 * DAY, hundredths: 40 },
  { id: 3, time: NEWEST - 3 * DAY, hundredths: 30 },
  { id: 4, time: NEWEST - DAY / 2, hundredths: 20 },
  { id: 5, time: NEWEST, hundredths: 10 },
];
const SPREAD_LOG = SPREAD.map((entry, i) => entryLine(i, entry)).join("\n") + "\n";

const localTime = (seconds) => new Date(seconds * 1000).toLocaleString("en-US");

async function statsRows(page) {
  return page.locator("#history-stats tbody tr").evaluateAll((rows) =>
    rows.map((row) => [...row.cells].map((cell) => cell.textContent)));
}

async function pressedRanges(page) {
  return page.locator('#ranges button[aria-pressed="true"]').evaluateAll((buttons) =>
    buttons.map((button) => button.dataset.range));
}

// The keeper stores the service's log at start; the page then shows it.
function onKeptSpread(fn) {
  return withProcesses([() => startService(SPREAD_LOG), startKeeper], async (service, keeper) => {
    assert.equal((await keeper.poll()).Kept, "5");
    await withPage(keeper.url, (page) => fn(page, keeper, service));
  });
}

test("the history plots every kept reading; ranges and zoom give min, mean and max of the visible part", async () => {
  await onKeptSpread(async (page) => {
    await page.locator("#history-stats tbody tr").waitFor();
    assert.equal(await page.locator("#history-plot .uplot canvas").count(), 1);
    assert.deepEqual(await page.locator("#history-plot .u-legend .u-series .u-label").allTextContents(),
      ["Time", SERIAL]);
    assert.equal(await page.locator("#keeper-hint").isHidden(), true);
    // The device log stays on the page beside the history.
    assert.equal(await page.locator("#points tbody tr").count(), 5);
    assert.deepEqual(await pressedRanges(page), ["all"]);

    const ranges = [
      // range, from, readings, min, mean, max
      ["day", NEWEST - DAY, "2", "0.1", "0.15", "0.2"],
      ["week", NEWEST - 7 * DAY, "3", "0.1", "0.2", "0.3"],
      ["month", NEWEST - 30 * DAY, "4", "0.1", "0.25", "0.4"],
      ["all", NEWEST - 40 * DAY, "5", "0.1", "0.3", "0.5"],
    ];
    for (const [range, from, ...stats] of ranges) {
      await page.click(`#ranges [data-range="${range}"]`);
      assert.deepEqual(await pressedRanges(page), [range]);
      assert.deepEqual(await statsRows(page), [[SERIAL, ...stats]], range);
      assert.equal(await page.locator("#history-span").textContent(),
        `From ${localTime(from)} to ${localTime(NEWEST)}.`);
    }
    await page.screenshot({ path: path.join(artifacts, "viewer-history.png"), fullPage: true });

    // Reading again redraws the history and keeps the chosen range.
    await page.click('#ranges [data-range="week"]');
    await page.locator("#history-plot .uplot").evaluate((plot) => { plot.dataset.old = "yes"; });
    await page.click("#read");
    await page.locator("#history-plot .uplot:not([data-old])").waitFor();
    assert.deepEqual(await pressedRanges(page), ["week"]);
    await page.click('#ranges [data-range="all"]');

    // Over all 40 days, reading 2 sits at the middle: a drag from 10% to 60% zooms onto it alone.
    const box = await page.locator("#history-plot .u-over").boundingBox();
    const y = box.y + box.height / 2;
    await page.mouse.move(box.x + box.width * 0.1, y);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.6, y, { steps: 5 });
    await page.mouse.up();
    assert.deepEqual(await statsRows(page), [[SERIAL, "1", "0.4", "0.4", "0.4"]]);
    assert.deepEqual(await pressedRanges(page), []);
    await page.dblclick("#history-plot .u-over");
    assert.deepEqual(await statsRows(page), [[SERIAL, "5", "0.1", "0.3", "0.5"]]);
    assert.deepEqual(await pressedRanges(page), ["all"]);
  });
});

test("the history saves as CSV, byte for byte as dosebridge-keeper export writes it", async () => {
  await onKeptSpread(async (page, keeper) => {
    await page.locator("#history-stats tbody tr").waitFor();
    const [download] = await Promise.all([page.waitForEvent("download"), page.click("#history-save")]);
    assert.equal(download.suggestedFilename(), "dosimeter-history.csv");
    const csv = readFileSync(await download.path(), "utf8");
    assert.equal(csv, [
      "serial,id,time,time_utc,radiation,period",
      "0123456789abcd,1,1396440000,2014-04-02T12:00:00Z,0.5,60",
      "0123456789abcd,2,1398168000,2014-04-22T12:00:00Z,0.4,60",
      "0123456789abcd,3,1399636800,2014-05-09T12:00:00Z,0.3,60",
      "0123456789abcd,4,1399852800,2014-05-12T00:00:00Z,0.2,60",
      "0123456789abcd,5,1399896000,2014-05-12T12:00:00Z,0.1,60",
    ].join("\n") + "\n");
    const exported = execFileSync(process.env.KEEPER_BINARY, ["export", "--db", keeper.dbPath], { encoding: "utf8" });
    assert.equal(csv, exported);
  });
});

test("two dosimeters get a series and a row of statistics each", async () => {
  await onKeptSpread(async (page, keeper, service) => {
    service.setScript("serial 01 02 03 04 05 06 07\n" +
      entryLine(0, { id: 1, time: NEWEST - 3600, hundredths: 7 }) + "\n" +
      entryLine(1, { id: 2, time: NEWEST, hundredths: 9 }) + "\n");
    assert.deepEqual(await keeper.poll(), { Status: "0", Stored: "2", Kept: "2" });
    await page.click("#read");
    await page.locator("#history-stats tbody tr").nth(1).waitFor();
    assert.deepEqual(await page.locator("#history-plot .u-legend .u-series .u-label").allTextContents(),
      ["Time", SERIAL, "01020304050607"]);
    assert.deepEqual(await statsRows(page), [
      [SERIAL, "5", "0.1", "0.3", "0.5"],
      // The service writes 0.07 as 0.07000000000000001; the table shows it as the log's table does.
      ["01020304050607", "2", "0.07", "0.08", "0.09"],
    ]);
  });
});

const FULL_LOG = "log 180\n";

test("erase first has the keeper store the log, then erases it", async () => {
  await withProcesses([() => startService("log 0\n"), startKeeper], async (service, keeper) => {
    // The keeper's first poll found an empty log; then 180 readings appear.
    await keeper.pollsFinished(1);
    service.setScript(FULL_LOG);
    await withPage(keeper.url, async (page) => {
      await page.locator("#points tbody tr").nth(179).waitFor();
      await page.locator("#history-empty").waitFor();
      await page.click("#erase");
      assert.equal(await page.locator("#erase-kept").isVisible(), true);
      assert.equal(await page.locator("#erase-unkept").isHidden(), true);
      await page.click("#erase-confirm");
      await page.locator("#message.ok").waitFor();
      assert.equal(await page.locator("#message").textContent(), "The dosimeter's log was erased.");
      // The keeper holds all 180 readings although the device's log is empty now.
      assert.equal((await keeper.history()).Readings.length, 180);
      await page.locator("#history-stats tbody tr").waitFor();
      assert.equal((await statsRows(page))[0][1], "180");
      await page.click("#read");
      await page.locator("#message:not(.ok)").waitFor();
      assert.equal(await page.locator("#message").textContent(), "The dosimeter's log is empty.");
    });
  });
});

// Holds a write lock on the keeper's database until the returned function runs.
async function lockDatabase(dbPath) {
  const holder = spawn("python3", ["-c", [
    "import sqlite3, sys",
    "db = sqlite3.connect(sys.argv[1], isolation_level=None)",
    "db.execute('BEGIN EXCLUSIVE')",
    "print('locked', flush=True)",
    "sys.stdin.read()",
  ].join("\n"), dbPath], { stdio: ["pipe", "pipe", "inherit"] });
  await once(holder.stdout, "data");
  return async () => {
    holder.stdin.end();
    if (holder.exitCode === null) await once(holder, "exit");
  };
}

const recordLine = (dir) => `record ${path.join(dir, "trail")}\n`;
const REFUSED = "Nothing was erased, because the keeper could not store the log";

const refusals = [
  // case, first script, then (gives an undo), the page's message
  ["the dosimeter's log cannot be read", `${FULL_LOG}fault fetch 2 * -1\n`, async () => async () => {},
    new RegExp(`^${REFUSED}\\. The dosimeter did not answer properly\\. Unplug it, plug it in again and retry\\.$`)],
  ["the keeper's database is locked", "log 0\n", async (service, keeper) => {
    await keeper.pollsFinished(1);
    const unlock = await lockDatabase(keeper.dbPath);
    service.setScript(FULL_LOG + recordLine(service.dir));
    return unlock;
  }, new RegExp(`^${REFUSED}: .*locked`)],
];

for (const [name, script, then, message] of refusals) {
  test(`nothing is erased when ${name}`, async () => {
    await withProcesses([() => startService((dir) => script + recordLine(dir)), startKeeper], async (service, keeper) => {
      const undo = await then(service, keeper);
      try {
        await withPage(keeper.url, async (page) => {
          await page.locator("#message:not([hidden]), #points tbody tr").first().waitFor();  // read done
          await page.click("#erase");
          await page.click("#erase-confirm");
          await page.locator("#message").filter({ hasText: REFUSED }).waitFor({ timeout: 20000 });
          assert.match(await page.locator("#message").textContent(), message);
        });
      } finally {
        await undo();
      }
      const trail = readFileSync(path.join(service.dir, "trail"), "utf8").split("\n");
      assert.ok(trail.some((line) => line.startsWith("send 0012120102")), "entries were read");
      assert.ok(!trail.some((line) => line.startsWith("send 0012120103")), "no erase request");
    });
  });
}

test("a keeper that stops answering makes the page say that nothing keeps a copy", async () => {
  await withProcesses([() => startService(FULL_LOG), startKeeper], async (service, keeper) => {
    await keeper.poll();
    await withPage(keeper.url, async (page) => {
      await page.locator("#history-stats tbody tr").waitFor();
      assert.equal(await keeper.stop(), 0);
      await page.click("#erase");
      await page.click("#erase-confirm");
      await page.locator("#erase-unkept").waitFor();
      assert.equal(await page.locator("#erase-unkept").textContent(),
        "The keeper is not answering, so nothing keeps a copy of this log.");
      assert.equal(await page.locator("#erase-save").isVisible(), true);
      assert.equal(await page.locator("#points tbody tr").count(), 180, "nothing erased yet");
      await page.click("#erase-confirm");
      await page.locator("#message.ok").waitFor();
      assert.equal(await page.locator("#message").textContent(), "The dosimeter's log was erased.");
    });
  });
});
