#!/usr/bin/env python3
"""Benchmark of dosebridge-keeper: history answer time, memory, and CPU per poll.

    bench/keeper.py build/keeper-rel/keeper/dosebridge-keeper

A stub service (here, on an ephemeral port) hands out readouts; the keeper
runs on an ephemeral port with a temporary database. Targets: /api/history
with 100,000 kept readings within 100 ms; peak RSS within 16 MiB; a poll that
stores 180 new readings within 20 ms of keeper CPU, one that stores nothing
within 2 ms.
"""
import http.server
import json
import os
import re
import shutil
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

KEPT_READINGS = 100_000
LOG_ENTRIES = 180
HISTORY_RUNS = 20
POLL_RUNS = 200
SERIAL = "0123456789abcd"
START_TIME = 1396440000


def readout(first):
    """A readout of 180 hourly points starting at point `first`."""
    points = [{"id": str((first + i) % 128), "time": str(START_TIME + 3600 * (first + i)),
               "radiation": "0.%02d" % (8 + (first + i) % 14), "period": "60"}
              for i in range(LOG_ENTRIES)]
    document = {"DeviceInfo": {"Model": "1212", "SerialNumber": SERIAL},
                "RadiationPoints": points, "Status": "0"}
    return ("k(" + json.dumps(document, indent=4) + "\n);").encode()


class Stub(http.server.BaseHTTPRequestHandler):
    body = b""

    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/javascript")
        self.send_header("Content-Length", str(len(Stub.body)))
        self.end_headers()
        self.wfile.write(Stub.body)

    def log_message(self, *args):
        pass


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def peak_rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        return int(re.search(r"VmHWM:\s+(\d+)", status.read()).group(1))


def start_keeper(binary, db, service_port, log):
    keeper = subprocess.Popen([binary, "--db", db, "--service", f"127.0.0.1:{service_port}",
                               "--listen", "127.0.0.1:0", "--every", "6h"],
                              stderr=open(log, "w"))
    for _ in range(500):
        match = re.search(r"serving http://127\.0\.0\.1:(\d+)/", open(log).read())
        if match:
            return keeper, int(match.group(1))
        time.sleep(0.01)
    raise RuntimeError("keeper did not start: " + open(log).read())


def request(port, method, path):
    req = urllib.request.Request(f"http://127.0.0.1:{port}{path}", method=method,
                                 headers={"Host": f"localhost:{port}"})
    with urllib.request.urlopen(req, timeout=60) as reply:
        return reply.read()


def main():
    binary = sys.argv[1]
    work = tempfile.mkdtemp(prefix="keeper-bench-")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Stub)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    port = server.server_address[1]
    db = os.path.join(work, "readings.sqlite3")
    try:
        # The keeper makes its database; the history is then filled in one go.
        Stub.body = b'k({"Status": "6"});'
        keeper, keeper_port = start_keeper(binary, db, port, os.path.join(work, "log0"))
        request(keeper_port, "POST", "/api/poll")
        keeper.terminate()
        keeper.wait()
        with sqlite3.connect(db) as connection:
            connection.executemany(
                "INSERT INTO readings (serial, id, time, radiation, radiation_value, period, stored_at) "
                "VALUES (?, ?, ?, ?, ?, ?, ?)",
                ((SERIAL, i % 128, START_TIME - 3600 * (KEPT_READINGS - i), "0.%02d" % (8 + i % 14),
                  (8 + i % 14) / 100, 60, 0) for i in range(KEPT_READINGS)))

        Stub.body = readout(0)
        keeper, keeper_port = start_keeper(binary, db, port, os.path.join(work, "log1"))
        request(keeper_port, "POST", "/api/poll")  # the start-up poll's readings are in

        # curl reads the answer faster than urllib would: the time is the keeper's.
        times = []
        history_began = cpu_seconds(keeper.pid)
        for _ in range(HISTORY_RUNS):
            timing = subprocess.run(
                ["curl", "-s", "-o", "/dev/null", "-w", "%{time_total}",
                 "-H", f"Host: localhost:{keeper_port}",
                 f"http://127.0.0.1:{keeper_port}/api/history"],
                check=True, capture_output=True, text=True).stdout
            times.append(float(timing) * 1000)
        history_cpu = (cpu_seconds(keeper.pid) - history_began) / HISTORY_RUNS * 1000
        body = request(keeper_port, "GET", "/api/history")
        readings = len(json.loads(body)["Readings"])
        print(f"history: {readings} readings, {len(body)} bytes; answered in median "
              f"{statistics.median(times):.1f} ms, max {max(times):.1f} ms (curl); "
              f"keeper CPU {history_cpu:.1f} ms each")

        nothing_new = []
        began = cpu_seconds(keeper.pid)
        for _ in range(POLL_RUNS):
            reply = json.loads(request(keeper_port, "POST", "/api/poll"))
            nothing_new.append(reply["Stored"] == "0")
        idle_cpu = (cpu_seconds(keeper.pid) - began) / POLL_RUNS * 1000
        assert all(nothing_new)

        stored = 0
        began = cpu_seconds(keeper.pid)
        for run in range(POLL_RUNS):
            Stub.body = readout(LOG_ENTRIES * (run + 1))
            stored += int(json.loads(request(keeper_port, "POST", "/api/poll"))["Stored"])
        full_cpu = (cpu_seconds(keeper.pid) - began) / POLL_RUNS * 1000
        assert stored == LOG_ENTRIES * POLL_RUNS, stored
        # Once more, with the history grown by the polls above.
        body = request(keeper_port, "GET", "/api/history")

        print(f"poll storing nothing: {idle_cpu:.2f} ms keeper CPU (mean of {POLL_RUNS})")
        print(f"poll storing {LOG_ENTRIES}: {full_cpu:.2f} ms keeper CPU (mean of {POLL_RUNS})")
        print(f"peak RSS: {peak_rss_kib(keeper.pid) / 1024:.1f} MiB")
        keeper.terminate()
        print(f"exit status on SIGTERM: {keeper.wait()}")
    finally:
        server.shutdown()
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
