#!/usr/bin/python3
"""End-to-end benchmark: corvanel-server against DCMTK in the same run, with the same client.

The standard job (film session; one STANDARD\\4,5 film box; 20 N-SET of 512 x 512 12-bit
MONOCHROME2; N-ACTION; N-DELETE) is sent by corvanel-printscu from K = 1, 4 and 20 parallel
clients to corvanel-server for the destinations DICOM, JPEG and PDF, and for the destination
DICOM to DCMTK's dcmprscp (whose stored print database is the same work). C-ECHO round trips in
one association and associations per second are measured against corvanel-server and DCMTK's
storescp. The JPEG job latency is compared with its floor: the loopback transfer of the pixel
bytes (net_bench) plus the libjpeg-turbo encode of the composed film (render_bench).

DCMTK leaves Nagle's algorithm on unless the environment sets TCP_NODELAY=1; its responses are
written as two segments, so each one then waits for the client's delayed ACK (about 40 ms). The
references run with TCP_NODELAY=1, their best; one extra row shows dcmprscp as it starts by
default.

Run from the source folder after `make bench`:
    bench/e2e_bench.py [--build build-bench] [--jobs 20] [--rounds 3]

Each round starts the servers afresh with empty stores (dcmprscp's database slows as it
grows) and warms each destination with one uncounted job; every figure printed is the median
of the rounds, so that one disturbed round on a shared machine does not decide a ratio.
"""
import argparse
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SUMMARY = re.compile(r"jobs=(\d+) failed=(\d+) parallel=(\d+) wall_s=([\d.]+) "
                     r"jobs_per_s=([\d.]+) p50_ms=([\d.]+) p95_ms=([\d.]+)"
                     r"(?: echoes_per_s=([\d.]+))?")
PIXEL_BYTES = 20 * 512 * 512 * 2
# The rows of the job table, in the order they are measured and printed.
JOB_ROWS = [(k, name) for k in (1, 4, 20) for name in ("DICOM", "JPEG", "PDF", "dcmprscp")] + [
    (1, "dcmprscp (as installed)")]

PRSCP_CFG = """[[GENERAL]]
[APPLICATION]
LogDirectory = {root}/log
LogFile = general.log
LogLevel = ERROR
[PRINT]
Directory = {root}/spool
DeletePrintJobs = true
[DATABASE]
Directory = {root}/database
[[COMMUNICATION]]
[BENCHPRINTER]
Aetitle = PRINTSCP
Description = Benchmark print SCP
Hostname = localhost
Port = {port}
Type = LOCALPRINTER
BorderDensity = 150\\20\\BLACK\\WHITE
DisplayFormat = 1,1\\2,2\\3,4\\4,5
EmptyImageDensity = 20\\BLACK\\WHITE
FilmDestination = MAGAZINE\\PROCESSOR
FilmSizeID = 8INX10IN\\11INX14IN\\14INX14IN\\14INX17IN
ImplicitOnly = true
MagnificationType = REPLICATE\\BILINEAR\\CUBIC\\NONE
MaxDensity = 320
MaxPDU = 16384
MediumType = PAPER\\CLEAR FILM\\BLUE FILM
MinDensity = 20
Supports12Bit = true
SupportsPresentationLUT = false
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_port(port, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


class Peer:
    """A server process started on a free port and stopped by its PID."""

    def __init__(self, argv, port, env=None, cwd=None):
        self.port = port
        self.log = tempfile.TemporaryFile()
        self.process = subprocess.Popen(argv, env={**os.environ, **(env or {})}, cwd=cwd,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        if not wait_port(port):
            self.stop()
            sys.exit(f"{argv[0]} did not open port {port}")

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def run_client(scu, port, called, args):
    argv = [scu, "-q", "-aec", called, *args, "127.0.0.1", str(port)]
    out = subprocess.run(argv, capture_output=True, text=True, timeout=900)
    match = SUMMARY.search(out.stdout)
    if not match or out.returncode != 0:
        sys.exit(f"client failed ({' '.join(argv)}):\n{out.stdout}{out.stderr}")
    return {"jobs_per_s": float(match[5]), "p50": float(match[6]), "p95": float(match[7]),
            "echoes_per_s": float(match[8] or 0)}


def print_jobs(scu, port, called, k, total):
    return run_client(scu, port, called, ["--format", "STANDARD\\4,5", "--bits", "12",
                                          "--size", "512x512", "--parallel", str(k),
                                          "--repeat", str(max(1, total // k))])


def google_bench(program, name, folder):
    result = os.path.join(folder, "google_bench.json")
    out = subprocess.run([program, f"--benchmark_filter=^{name}", f"--benchmark_out={result}",
                          "--benchmark_out_format=json"], capture_output=True, text=True,
                         timeout=300)
    if out.returncode != 0:
        sys.exit(f"{program} failed:\n{out.stderr}")
    with open(result) as f:
        run = json.load(f)["benchmarks"][0]
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[run["time_unit"]]
    return run["real_time"] * scale


def load_text():
    with open("/proc/loadavg") as f:
        load = f.read().split()[:3]
    return f"load average {' '.join(load)} on {os.cpu_count()} cores"


def start_peers(build, root):
    """Fresh servers with empty stores: corvanel-server, dcmprscp with and without Nagle's
    algorithm, storescp."""
    os.makedirs(root)
    peers = {}
    try:
        home = os.path.join(root, "home")
        os.makedirs(os.path.join(home, "stored"))
        corvanel_port = free_port()
        with open(os.path.join(home, "corvanel.ini"), "w") as f:
            f.write(f"[CORVANEL]\nPort={corvanel_port}\nLogLevel=0\nImageDir={home}/stored/\n")
        with open(os.path.join(home, "printers.txt"), "w", newline="") as f:
            f.write("STORE|DICOM|0|FALSE|9|10|10|0|0|0|0\r\nJPG|JPEG|0|FALSE|9|10|10|0|0|0|0\r\n"
                    "PDF|PDF|0|FALSE|9|10|10|0|0|0|0\r\n")
        environment = {"CORVANEL_HOME": home, "XDG_CONFIG_HOME": os.path.join(root, "xdg")}
        peers["corvanel"] = Peer([os.path.join(build, "corvanel-server")], corvanel_port,
                                 environment)

        def prscp(name, env):
            folder = os.path.join(root, name)
            for sub in ("log", "spool", "database"):
                os.makedirs(os.path.join(folder, sub))
            port = free_port()
            config = os.path.join(folder, "prscp.cfg")
            with open(config, "w") as f:
                f.write(PRSCP_CFG.format(root=folder, port=port))
            peers[name] = Peer(["dcmprscp", "-c", config, "-p", "BENCHPRINTER"], port, env, folder)

        prscp("dcmprscp", {"TCP_NODELAY": "1"})
        prscp("dcmprscp-default", {})
        storescp_port = free_port()
        peers["storescp"] = Peer(["storescp", str(storescp_port)], storescp_port,
                                 {"TCP_NODELAY": "1"}, root)
    except BaseException:
        stop_peers(peers)
        raise
    return peers


def stop_peers(peers):
    for peer in peers.values():
        peer.stop()


def measure_round(build, options, root):
    """One round on fresh servers: the job table, the echoes and the two parts of the JPEG
    floor. Each destination first prints one job that is not counted, so that no round
    measures a server's first touch of its memory."""
    scu = os.path.join(build, "corvanel-printscu")
    peers = start_peers(build, root)
    try:
        targets = {"DICOM": (peers["corvanel"], "STORE"), "JPEG": (peers["corvanel"], "JPG"),
                   "PDF": (peers["corvanel"], "PDF"), "dcmprscp": (peers["dcmprscp"], "PRINTSCP"),
                   "dcmprscp (as installed)": (peers["dcmprscp-default"], "PRINTSCP")}
        for peer, called in targets.values():
            print_jobs(scu, peer.port, called, 1, 1)
        figures = {}
        for k, name in JOB_ROWS:
            peer, called = targets[name]
            # Nagle's 40 ms per response makes the as-installed row slow: five jobs tell it.
            slow = name == "dcmprscp (as installed)"
            jobs = min(options.jobs, 5) if slow else max(options.jobs, k)
            figures[(k, name)] = print_jobs(scu, peer.port, called, k, jobs)
        for name in ("corvanel", "storescp"):
            port = peers[name].port
            figures[(name, "echoes/s")] = run_client(
                scu, port, "ECHO", ["--echo", str(options.echoes)])["echoes_per_s"]
            figures[(name, "assoc/s K=1")] = run_client(
                scu, port, "ECHO", ["--echo", "1", "--repeat", str(options.associations)]
            )["jobs_per_s"]
            figures[(name, "assoc/s K=20")] = run_client(
                scu, port, "ECHO", ["--echo", "1", "--parallel", "20", "--repeat",
                                    str(max(1, options.associations // 20))])["jobs_per_s"]
    finally:
        stop_peers(peers)
    figures["loopback"] = google_bench(os.path.join(build, "bench", "net_bench"),
                                       "BM_RawLoopback32MB", root) * PIXEL_BYTES / (32 << 20)
    figures["encode"] = google_bench(os.path.join(build, "bench", "render_bench"),
                                     "EncodeFilm/CT_4x5", root)
    shutil.rmtree(root, ignore_errors=True)
    return figures


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build-bench", help="build folder (make bench)")
    parser.add_argument("--jobs", type=int, default=20, help="print jobs per measurement")
    parser.add_argument("--rounds", type=int, default=3,
                        help="rounds on fresh servers; each figure is the median of the rounds")
    parser.add_argument("--echoes", type=int, default=5000,
                        help="C-ECHO requests in one association")
    parser.add_argument("--associations", type=int, default=500,
                        help="associations per measurement")
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    for program in (os.path.join(build, "corvanel-printscu"),
                    os.path.join(build, "corvanel-server"), "dcmprscp", "storescp"):
        if not shutil.which(program):
            sys.exit(f"{program} not found: build with `make bench` and install dcmtk")

    print(f"Corvanel end-to-end benchmark, {time.strftime('%Y-%m-%d %H:%M:%S')}, {load_text()}")
    root = tempfile.mkdtemp(prefix="corvanel-bench-")
    try:
        rounds = [measure_round(build, options, os.path.join(root, f"round{r}"))
                  for r in range(max(1, options.rounds))]
    finally:
        shutil.rmtree(root, ignore_errors=True)

    def figure(key, field=None):
        return median([r[key] if field is None else r[key][field] for r in rounds])

    def job_ratio(k, r):
        return r[(k, "DICOM")]["jobs_per_s"] / r[(k, "dcmprscp")]["jobs_per_s"]

    print(f"\nStandard job (STANDARD\\4,5, 20 x 512x512 12-bit), median of {len(rounds)} rounds:"
          " jobs/s, p50 / p95 ms")
    print(f"{'K':>3} {'destination':<26} {'jobs/s':>8} {'p50 ms':>9} {'p95 ms':>9}")
    for k, name in JOB_ROWS:
        label = "dcmprscp (TCP_NODELAY=1)" if name == "dcmprscp" else name
        print(f"{k:>3} {label:<26} {figure((k, name), 'jobs_per_s'):>8.2f} "
              f"{figure((k, name), 'p50'):>9.1f} {figure((k, name), 'p95'):>9.1f}")

    print("\nC-ECHO and associations")
    print(f"{'':<10} {'echoes/s':>10} {'assoc/s K=1':>12} {'assoc/s K=20':>13}")
    for name in ("corvanel", "storescp"):
        print(f"{name:<10} {figure((name, 'echoes/s')):>10.0f} "
              f"{figure((name, 'assoc/s K=1')):>12.0f} {figure((name, 'assoc/s K=20')):>13.0f}")

    print("\nRatios of the medians (targets in brackets; each round's ratio after the colon)")
    for k in (1, 4, 20):
        ratio = figure((k, "DICOM"), "jobs_per_s") / figure((k, "dcmprscp"), "jobs_per_s")
        target = ">= 3" if k == 1 else "> the K=1 ratio"
        each = " ".join(f"{job_ratio(k, r):.2f}" for r in rounds)
        print(f"  DICOM jobs/s / dcmprscp, K={k:<2}      {ratio:6.2f}  [{target}]: {each}")
    as_installed = figure((1, "dcmprscp (as installed)"), "jobs_per_s")
    print(f"  DICOM jobs/s / dcmprscp as installed  "
          f"{figure((1, 'DICOM'), 'jobs_per_s') / as_installed:6.2f}")
    loopback_ms, encode_ms = figure("loopback"), figure("encode")
    floor_ms = loopback_ms + encode_ms
    each = " ".join(f"{r[(1, 'JPEG')]['p50'] / (r['loopback'] + r['encode']):.2f}" for r in rounds)
    print(f"  JPEG p50 latency / floor, K=1       {figure((1, 'JPEG'), 'p50') / floor_ms:6.2f}"
          f"  [<= 1.5]: {each}  (floor {floor_ms:.1f} ms: loopback {loopback_ms:.1f}"
          f" + encode {encode_ms:.1f})")
    print(f"  C-ECHO/s in one association        {figure(('corvanel', 'echoes/s')):7.0f}"
          f"  [>= 5000]  storescp {figure(('storescp', 'echoes/s')):.0f}")
    print(f"  associations/s, K=1                {figure(('corvanel', 'assoc/s K=1')):7.0f}"
          f"  [>= 500]  storescp {figure(('storescp', 'assoc/s K=1')):.0f}")
    print(f"  associations/s corvanel / storescp, K=20  "
          f"{figure(('corvanel', 'assoc/s K=20')) / figure(('storescp', 'assoc/s K=20')):.2f}")
    print(f"\n{load_text()} at the end")


if __name__ == "__main__":
    main()
