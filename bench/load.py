#!/usr/bin/env python3
"""Faults-and-load checks of the running service, with figures.

Runs the real binary with the simulated dosimeter preloaded and prints one
line per check. Exits non-zero if any check fails.

  bench/load.py [--binary PATH] [--sim PATH] [--quick]
"""
import argparse
import os
import resource
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

PORT = 5000
STOCK_400 = (b"HTTP/1.0 400 Bad Request\r\nContent-Length: 89\r\nContent-Type: text/html\r\n\r\n"
             b"<html><head><title>Bad Request</title></head><body><h1>400 Bad Request</h1></body></html>")
# A full 180-point log; erase requests reach the device as 0-byte sends, which
# fail (Status 5) without clearing it, so every reply stays predictable.
SIM_SCRIPT = "log 180\nfault send 3 * 0\n"

REQUESTS = {
    "readout": b"GET /?callback=f HTTP/1.1\r\nHost: localhost:5000\r\n\r\n",
    "info": b"GET /GetDeviceInfo?callback=g HTTP/1.1\r\nHost: localhost:5000\r\n\r\n",
    "erase": b"POST /Erase?cb=h HTTP/1.1\r\nHost: localhost:5000\r\nContent-Length: 0\r\n\r\n",
    "malformed": b"GET / http/1.0\r\n\r\n",
    "bad-escape": b"GET /?cb=%zz HTTP/1.1\r\n\r\n",
}


def exchange(request, timeout=30.0):
    with socket.create_connection(("localhost", PORT), timeout=timeout) as s:
        s.sendall(request)
        chunks = []
        while True:
            data = s.recv(65536)
            if not data:
                return b"".join(chunks)
            chunks.append(data)


def wait_listening(limit=10.0):
    deadline = time.time() + limit
    while time.time() < deadline:
        try:
            socket.create_connection(("localhost", PORT), timeout=1).close()
            return True
        except OSError:
            time.sleep(0.02)
    return False


def proc_status(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return -1


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class Service:
    def __init__(self, binary, sim, nofile=None):
        self.dir = tempfile.mkdtemp(prefix="dosebridge-load-")
        script = os.path.join(self.dir, "sim.conf")
        with open(script, "w") as f:
            f.write(SIM_SCRIPT)
        env = dict(os.environ, LD_PRELOAD=sim, DOSEBRIDGE_SIM=script)
        limit = (lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (nofile, nofile))) if nofile else None
        self.proc = subprocess.Popen([binary], env=env, preexec_fn=limit,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if not wait_listening():
            self.proc.kill()
            raise RuntimeError("service did not start: " + self.proc.stderr.read().decode())

    def stop(self, sig=signal.SIGTERM):
        self.proc.send_signal(sig)
        try:
            code = self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = self.proc.wait()
        out, err = self.proc.stdout.read(), self.proc.stderr.read()
        return code, out, err


def references():
    refs = {name: exchange(req) for name, req in REQUESTS.items()}
    assert refs["malformed"] == STOCK_400 and refs["bad-escape"] == STOCK_400
    assert b'"Status": "0"' in refs["readout"] and refs["readout"].count(b'"id"') == 180
    return refs


def mixed_load(args, results):
    """20,000 requests from 50 concurrent clients over every route."""
    total, clients = (2000, 20) if args.quick else (20000, 50)
    service = Service(args.binary, args.sim)
    refs = references()
    rss_before = proc_status(service.proc.pid, "VmRSS")
    names = list(REQUESTS)
    wrong, dropped, done = [0], [0], [0]
    lock = threading.Lock()

    def client(k):
        for i in range(k, total, clients):
            name = names[i % len(names)]
            try:
                ok = exchange(REQUESTS[name]) == refs[name]
                with lock:
                    wrong[0] += not ok
                    done[0] += 1
            except OSError:
                with lock:
                    dropped[0] += 1

    start = time.time()
    threads = [threading.Thread(target=client, args=(k,)) for k in range(clients)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    elapsed = time.time() - start
    rss_after, peak = proc_status(service.proc.pid, "VmRSS"), proc_status(service.proc.pid, "VmHWM")
    code, out, err = service.stop()
    ok = wrong[0] == 0 and dropped[0] == 0 and done[0] == total and code == 0 and not out and not err
    results.append((ok, f"mixed load: {done[0]} requests from {clients} clients in {elapsed:.1f} s "
                        f"({done[0] / elapsed:.0f}/s), wrong {wrong[0]}, dropped {dropped[0]}; "
                        f"RSS {rss_before} KiB before, {rss_after} KiB after, peak {peak} KiB; exit {code}"))


def idle_flood(args, results):
    """1,000 idle connections at once; other clients are still served within a second."""
    resource.setrlimit(resource.RLIMIT_NOFILE, (4096, 4096))
    service = Service(args.binary, args.sim, nofile=4096)
    refs = references()
    idle = [socket.create_connection(("localhost", PORT)) for _ in range(1000)]
    latencies, wrong = [], 0
    for i in range(50):
        name = "info" if i % 2 else "readout"
        start = time.time()
        wrong += exchange(REQUESTS[name]) != refs[name]
        latencies.append(time.time() - start)
    for s in idle:
        s.close()
    code, _, err = service.stop()
    worst = max(latencies)
    ok = worst < 1.0 and wrong == 0 and code == 0 and not err
    results.append((ok, f"1000 idle connections: 50 requests served, worst {worst * 1000:.1f} ms, "
                        f"median {sorted(latencies)[25] * 1000:.1f} ms, wrong {wrong}; exit {code}"))


def descriptor_limit(args, results):
    """64 descriptors, 100 clients: responsive, and no CPU while waiting."""
    service = Service(args.binary, args.sim, nofile=64)
    refs = references()
    failures, done = [0], [0]
    lock = threading.Lock()

    def client():
        for i in range(10):
            name = "info" if i % 2 else "readout"
            try:
                ok = exchange(REQUESTS[name]) == refs[name]
            except OSError:
                ok = False
            with lock:
                failures[0] += not ok
                done[0] += 1

    start = time.time()
    threads = [threading.Thread(target=client) for _ in range(100)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    busy = time.time() - start
    # 100 idle clients hold every descriptor; the server pauses, it does not spin.
    idle = [socket.create_connection(("localhost", PORT)) for _ in range(100)]
    time.sleep(0.5)
    cpu0 = cpu_seconds(service.proc.pid)
    time.sleep(2.0)
    idle_cpu = cpu_seconds(service.proc.pid) - cpu0
    start = time.time()
    served = exchange(REQUESTS["info"]) == refs["info"]
    latency = time.time() - start
    for s in idle:
        s.close()
    code, _, err = service.stop()
    ok = failures[0] == 0 and served and idle_cpu < 0.2 and code == 0 and not err
    results.append((ok, f"64 descriptors: 100 clients x 10 requests in {busy:.1f} s, failures {failures[0]}; "
                        f"with 100 idle clients: server CPU {idle_cpu * 1000:.0f} ms over 2 s, "
                        f"a new request served in {latency * 1000:.0f} ms; exit {code}"))


def stop_under_load(args, results):
    """SIGTERM in the middle of load: exit 0, and no partial reply on the wire."""
    service = Service(args.binary, args.sim)
    refs = references()
    complete, empty, partial = [0], [0], [0]
    lock = threading.Lock()
    stopping = threading.Event()

    def client(k):
        names = list(REQUESTS)
        i = k
        while not stopping.is_set() or i < k + 1000:
            name = names[i % len(names)]
            i += 1
            try:
                reply = exchange(REQUESTS[name], timeout=5)
            except OSError:
                reply = b""
            with lock:
                if reply == refs[name]:
                    complete[0] += 1
                elif reply == b"":
                    empty[0] += 1
                else:
                    partial[0] += 1
            if stopping.is_set() and reply == b"":
                return

    threads = [threading.Thread(target=client, args=(k,)) for k in range(20)]
    for t in threads:
        t.start()
    time.sleep(1.0)
    code, out, err = service.stop()
    stopping.set()
    for t in threads:
        t.join()
    ok = partial[0] == 0 and code == 0 and not out and not err
    results.append((ok, f"SIGTERM under load: exit {code}, {complete[0]} complete replies, "
                        f"{partial[0]} partial, {empty[0]} refused or closed without reply"))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", default=os.path.join(root, "build/release/app/dosebridge"))
    parser.add_argument("--sim", default=os.path.join(root, "build/release/sim/libdosebridge_sim.so"))
    parser.add_argument("--quick", action="store_true", help="a smaller mixed load")
    args = parser.parse_args()
    results = []
    for check in (mixed_load, idle_flood, descriptor_limit, stop_under_load):
        check(args, results)
        ok, line = results[-1]
        print(("ok    " if ok else "FAIL  ") + line, flush=True)
    return 0 if all(ok for ok, _ in results) else 1


if __name__ == "__main__":
    sys.exit(main())
