// Runs the real programs around a page in Debian's Chromium: the service on
// port 5000 with the simulated dosimeter preloaded, and the keeper on an
// ephemeral port with a temporary database. Every process started is stopped.
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { after } from "node:test";
import { mkdtempSync, writeFileSync, mkdirSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import net from "node:net";
import path from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";
import { chromium } from "playwright-core";

export const here = path.dirname(fileURLToPath(import.meta.url));
export const webDir = path.join(here, "../../web");
export const pageFromDisk = pathToFileURL(path.join(webDir, "index.html")).href;
export const artifacts = process.env.ARTIFACTS || path.join(here, "../../build/web-artifacts");
mkdirSync(artifacts, { recursive: true });

const SERVICE_PORT = 5000;
const START_TRIES = 200;
const START_TRY_MS = 25;

function portOpenAt(port, host) {
  return new Promise((resolve) => {
    const socket = net.connect(port, host);
    socket.once("connect", () => { socket.destroy(); resolve(true); });
    socket.once("error", () => resolve(false));
  });
}

// The service listens on the first address that "localhost" names, which is
// ::1 on a system whose /etc/hosts lists it first, so ask at both.
export async function portOpen(port = SERVICE_PORT) {
  const open = await Promise.all(["127.0.0.1", "::1"].map((host) => portOpenAt(port, host)));
  return open.includes(true);
}

async function waitForPort(port, child) {
  let spawnError = null;
  child.once("error", (error) => { spawnError = error; });
  for (let i = 0; i < START_TRIES && child.exitCode === null && !spawnError; i++) {
    if (await portOpen(port)) return;
    await new Promise((r) => setTimeout(r, START_TRY_MS));
  }
  throw spawnError ?? new Error(`${child.spawnfile} does not listen on port ${port}`);
}

// A port that was free a moment ago, for the keeper's --listen.
function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.once("error", reject);
    server.listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Stops the child with SIGTERM, removes its scratch folder, resolves with its exit status.
function stopper(child, dir) {
  return async () => {
    if (child.exitCode === null && child.pid !== undefined) {
      await new Promise((resolve) => {
        child.once("exit", resolve);
        child.kill("SIGTERM");
      });
    }
    rmSync(dir, { recursive: true, force: true });
    return child.exitCode;
  };
}

async function waitOrStop(port, child, dir) {
  try {
    await waitForPort(port, child);
  } catch (error) {
    await stopper(child, dir)();
    throw error;
  }
}

function scratchDir() {
  return mkdtempSync(path.join(tmpdir(), "dosebridge-web-"));
}

// The service with the simulator running `script` (a text, or a function of the
// service's scratch folder that gives one). The simulator rereads its script
// when the file changes, so setScript() scripts the next request.
export async function startService(script) {
  const dir = scratchDir();
  const scriptPath = path.join(dir, "sim.conf");
  writeFileSync(scriptPath, typeof script === "function" ? script(dir) : script);
  assert.equal(await portOpen(), false, "port 5000 must be free");
  const child = spawn(process.env.DOSEBRIDGE_BINARY, [], {
    env: { ...process.env, LD_PRELOAD: process.env.SIM_LIBRARY, DOSEBRIDGE_SIM: scriptPath },
    stdio: "ignore",
  });
  await waitOrStop(SERVICE_PORT, child, dir);
  return { dir, setScript: (text) => writeFileSync(scriptPath, text), stop: stopper(child, dir) };
}

// The keeper on a temporary database, serving web/; it polls at start and then
// only every hour, so a test decides when it polls again.
export async function startKeeper() {
  const dir = scratchDir();
  const port = await freePort();
  const child = spawn(process.env.KEEPER_BINARY, [
    "--db", path.join(dir, "readings.sqlite3"),
    "--listen", `127.0.0.1:${port}`,
    "--service", `localhost:${SERVICE_PORT}`,
    "--web", webDir,
    "--every", "1h",
  ], { stdio: ["ignore", "ignore", "inherit"] });
  await waitOrStop(port, child, dir);
  const url = `http://127.0.0.1:${port}/`;
  return {
    url,
    dbPath: path.join(dir, "readings.sqlite3"),
    // Polls now; resolves with the keeper's answer once the poll is stored.
    poll: async () => (await fetch(new URL("api/poll", url), { method: "POST" })).json(),
    history: async () => (await fetch(new URL("api/history", url))).json(),
    // Waits until the keeper has finished `count` polls in all.
    pollsFinished: async (count) => {
      for (let i = 0; i < START_TRIES; i++) {
        const metrics = await (await fetch(new URL("metrics", url))).text();
        const polls = metrics.split("\n").filter((line) => line.startsWith("dosebridge_keeper_polls_total{"));
        if (polls.reduce((sum, line) => sum + Number(line.split(" ").at(-1)), 0) >= count) return;
        await new Promise((r) => setTimeout(r, START_TRY_MS));
      }
      throw new Error(`the keeper did not finish ${count} polls`);
    },
    stop: stopper(child, dir),
  };
}

// One headless Chromium per test file, closed after its last test.
let browser = null;
after(() => browser?.close());

// Runs fn(page) on `url` in a fresh browser context (no cookies, cache or storage).
export async function withPage(url, fn) {
  browser ??= await chromium.launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
  const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1100, height: 900 } });
  try {
    const page = await context.newPage();
    await page.goto(url);
    await fn(page);
  } finally {
    await context.close();
  }
}

// Runs fn with the started processes, then stops them all (last started
// first); each must exit cleanly.
export async function withProcesses(starts, fn) {
  const running = [];
  try {
    for (const start of starts) running.push(await start());
    return await fn(...running);
  } finally {
    const codes = [];
    for (const program of running.reverse()) codes.push(await program.stop());
    assert.deepEqual(codes, codes.map(() => 0), "every program exits with status 0");
  }
}
