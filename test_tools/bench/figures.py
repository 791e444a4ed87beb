#!/usr/bin/env python3
"""The arithmetic of scripts/bench: the index it sends, the processor time it reads from /proc,
and the report it prints from the figures its runs left.

    figures.py index ENTRIES FILES      the bench's index: ENTRIES places in FILES files
    figures.py cpu PROGRAM PREFIX       processor seconds of the newest process PROGRAM (e.g.
                                        lumen_roll.exe) running in the Wine prefix PREFIX, by
                                        thread, and of that prefix's wine server:
                                        "threads=NAME:S,... server=S"
    figures.py server PREFIX            processor seconds of that prefix's wine server (0 without one)
    figures.py seconds PID              processor seconds of one process (the X server)
    figures.py span LOG FIRST LAST      seconds from the log message FIRST to the message LAST
    figures.py since LOG LAST START     seconds from START (Unix time, as date +%s.%N gives it) to
                                        the log message LAST
    figures.py report RECORDS [SIZE]    the report of the runs in RECORDS (of one SIZE)

RECORDS holds one run a line as name=value pairs, the bench's own (kind, size, round, ...) and the
measuring programs' (seconds, messages, peak_working_set, worst_ms, ...).
"""

import os
import statistics
import sys
import time

TICKS = os.sysconf("SC_CLK_TCK")


# ---- the index ------------------------------------------------------------------------------

def index(entries, files):
    """ENTRIES places in FILES files, texts of 40 to 120 bytes, the same on every run. Files come
    in a scrambled order, so that the viewer's sorted insertion has work to do."""
    chars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _:=();,.+-*/<>"
    seed = 20240611

    def next_random(limit):  # Park and Miller's minimal standard generator
        nonlocal seed
        seed = seed * 16807 % 2147483647
        return seed % limit

    out = []
    for entry in range(entries):
        name = "src/unit_%05d.adb" % ((entry % files) * 7919 % files)
        size = 40 + next_random(81)
        text = "".join(chars[next_random(len(chars))] for _ in range(size))
        out.append("%s:%d:%d:%s\n" % (name, 1 + next_random(5000), 1 + next_random(size + 1), text))
    sys.stdout.write("".join(out))


# ---- processor time from /proc ---------------------------------------------------------------

def stat_seconds(path):
    """User and system seconds from a /proc stat file; the command name in parentheses may hold
    blanks, so the fields are counted after it."""
    try:
        with open(path) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / TICKS


def comm(path):
    try:
        with open(path) as name:
            return name.read().strip().replace(" ", "_")
    except OSError:
        return "?"


def in_prefix(pid, prefix):
    try:
        with open("/proc/%s/environ" % pid, "rb") as environ:
            return ("WINEPREFIX=" + prefix).encode() in environ.read().split(b"\0")
    except OSError:
        return False


def newest_process(program, prefix):
    """The newest process named PROGRAM of this Wine prefix (other prefixes may run their own)."""
    found = [int(pid) for pid in os.listdir("/proc")
             if pid.isdigit() and comm("/proc/%s/comm" % pid) == program and in_prefix(pid, prefix)]
    return max(found, key=lambda pid: os.stat("/proc/%d" % pid).st_ctime) if found else None


def server_pid(prefix):
    """The wine server of PREFIX: it works in a folder named after the prefix's device and inode."""
    info = os.stat(prefix)
    name = "server-%x-%x" % (info.st_dev, info.st_ino)
    for pid in os.listdir("/proc"):
        if pid.isdigit() and comm("/proc/%s/comm" % pid).startswith("wineserver"):
            try:
                if os.readlink("/proc/%s/cwd" % pid).endswith("/" + name):
                    return pid
            except OSError:
                pass
    return None


def server_seconds(prefix):
    server = server_pid(prefix)
    return stat_seconds("/proc/%s/stat" % server) if server else 0.0


def cpu(program, prefix):
    threads = {}
    pid = newest_process(program, prefix)
    if pid is not None:
        for task in os.listdir("/proc/%d/task" % pid):
            name = comm("/proc/%d/task/%s/comm" % (pid, task))
            threads[name] = threads.get(name, 0.0) + stat_seconds("/proc/%d/task/%s/stat" % (pid, task))
    listed = ",".join("%s:%.2f" % item for item in sorted(threads.items()))
    print("threads=%s server=%.2f" % (listed or "none", server_seconds(prefix)))


# ---- the viewer's log ------------------------------------------------------------------------

def span(log, first, last):
    """Stamps are seconds since midnight: a span over midnight gains a day."""
    start = end = None
    with open(log, encoding="latin-1") as lines:
        for line in lines:
            stamp, _, message = line.rstrip("\r\n").partition(" => ")
            if message.startswith(first) and start is None:
                start = float(stamp.split()[0])
            if message.startswith(last):
                end = float(stamp.split()[0])
    if start is None or end is None:
        print("?")
    else:
        print("%.3f" % ((end - start) % 86400))


def since(log, last, start):
    """The log's stamps are local seconds since midnight, as is the clock here."""
    start = float(start)
    local = time.localtime(start)
    start_stamp = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + start % 1
    end = None
    with open(log, encoding="latin-1") as lines:
        for line in lines:
            stamp, _, message = line.rstrip("\r\n").partition(" => ")
            if message.startswith(last):
                end = float(stamp.split()[0])
    print("?" if end is None else "%.3f" % ((end - start_stamp) % 86400))


# ---- the report ------------------------------------------------------------------------------

def read_records(path):
    records = []
    with open(path) as lines:
        for line in lines:
            pairs = (field.split("=", 1) for field in line.split() if "=" in field)
            records.append(dict(pairs))
    return records


def spread(values, digits):
    """The median, then the range and every value in order of measurement."""
    form = "%%.%df" % digits
    return "median %s (%s to %s: %s)" % (form % statistics.median(values), form % min(values), form % max(values),
                                        " ".join(form % value for value in values))


def threads_of(record):
    if record.get("threads", "none") == "none":
        return {}
    return {name: float(seconds) for name, seconds in (item.rsplit(":", 1) for item in record["threads"].split(","))}


def cpu_line(label, runs, unit="message"):
    """Median processor seconds of each thread, the wine server and the X server over the runs,
    and their sum per message (or per entry)."""
    names = sorted({name for run in runs for name in threads_of(run)})
    parts = []
    totals = [0.0] * len(runs)
    for name in names:
        values = [threads_of(run).get(name, 0.0) for run in runs]
        totals = [total + value for total, value in zip(totals, values)]
        if max(values) >= 0.01:  # idle threads say nothing
            parts.append("%s %.2f s" % (name, statistics.median(values)))
    for key, name in (("server", "wineserver"), ("display", "Xvfb")):
        values = [float(run["%s_after" % key]) - float(run["%s_before" % key]) for run in runs]
        totals = [total + value for total, value in zip(totals, values)]
        parts.append("%s %.2f s" % (name, statistics.median(values)))
    count = "messages" if unit == "message" else "entries"
    per_unit = [total * 1e6 / int(run[count]) for total, run in zip(totals, runs)]
    return "cpu %s (medians): %s; all %s us per %s" % (label, ", ".join(parts), spread(per_unit, 1), unit)


def milliseconds_each(runs):
    return [float(run["seconds"]) * 1000 / int(run["messages"]) for run in runs]


def viewer_report(label, size, raw_ms, viewers):
    viewer_ms = milliseconds_each(viewers)
    ratios = [raw / viewer for raw, viewer in zip(raw_ms, viewer_ms)]
    print("%s %s: %s messages, ms each: %s; log \"Index for\" to \"Complete\": %s s"
          % (label, size, viewers[0]["messages"], spread(viewer_ms, 3), " ".join(run.get("span", "?") for run in viewers)))
    print("ratio %s%s (raw / viewer, pair by pair): %s"
          % (size, "" if label == "viewer" else " " + label, spread(ratios, 2)))


def round_trip_line(label, runs):
    """The percentiles of the senders' round trips (write to answer), medians over the runs. On
    this kind of machine a round trip is either quick or slow; where the 50th percentile lies
    between the two tells which kind most of a run's were."""
    shares = ("p10", "p50", "p90", "p99")
    if not runs or not all("round_trip_%s_ms" % share in run for run in runs for share in shares):
        return None
    parts = ["%s %.3f" % (share, statistics.median(float(run["round_trip_%s_ms" % share]) for run in runs))
             for share in shares]
    return "round trips %s, ms (medians): %s" % (label, ", ".join(parts))


def transfer_report(size, raws, viewers, befores):
    raw_ms = milliseconds_each(raws)
    print("raw %s: %d exchanges, ms each: %s" % (size, int(raws[0]["messages"]), spread(raw_ms, 3)))
    viewer_report("viewer", size, raw_ms, viewers)
    if befores:
        viewer_report("viewer_before", size, raw_ms, befores)
    for label, runs in (("raw %s" % size, raws), ("viewer %s" % size, viewers), ("viewer_before %s" % size, befores)):
        line = round_trip_line(label, runs)
        if line:
            print(line)
    print(cpu_line("raw %s, server end" % size, raws))
    print(cpu_line("viewer %s" % size, viewers))
    if befores:
        print(cpu_line("viewer_before %s" % size, befores))


def batch_report(size, raws, batches):
    """The batch protocol from lumen_send's start to the viewer's "Complete" against the lock-step
    pipe alone (first to final message) for the same places, round by round."""
    raw_seconds = [float(run["seconds"]) for run in raws]
    batch_seconds = [float(run["start_to_complete"]) for run in batches]
    print("batch %s: %s batches, %s bytes; lumen_send's start to \"Complete\", s: %s"
          % (size, batches[0]["batches"], batches[0]["bytes"], spread(batch_seconds, 3)))
    print("raw %s, the lock-step pipe alone, s: %s" % (size, spread(raw_seconds, 3)))
    print("speed-up %s (raw / batch, pair by pair): %s"
          % (size, spread([raw / batch for raw, batch in zip(raw_seconds, batch_seconds)], 1)))
    print(cpu_line("batch %s" % size, batches, unit="entry"))


def memory_report(size, memory, empty):
    """Wine reports no private bytes (0) for another process; the committed private regions of
    its address space, counted with VirtualQueryEx, stand in for them then."""
    entries = int(size)
    peak = int(memory["peak_working_set"]) / 1048576
    private, base = int(memory["private_usage"]), int(empty["private_usage"])
    if private > 0:
        print("memory %s: peak working set %.1f MB, private %.0f bytes per entry (private bytes %.1f MB, empty index %.1f MB)"
              % (size, peak, (private - base) / entries, private / 1048576, base / 1048576))
        return
    committed, base = int(memory["private_committed"]), int(empty["private_committed"])
    print("memory %s: peak working set %.1f MB, private %.0f bytes per entry (PrivateUsage is 0 under Wine: "
          "committed private regions %.1f MB, empty index %.1f MB)"
          % (size, peak, (committed - base) / entries, committed / 1048576, base / 1048576))


def answer_report(size, answers):
    print("answer %s: worst %s ms over %s probes (median %s ms, 99th percentile %s ms, %s over 100 ms, %s unanswered)"
          % (size, answers["worst_ms"], answers["probes"], answers["median_ms"], answers["p99_ms"],
             answers["over_100ms"], answers["failed"]))


def report(path, only_size=None):
    records = read_records(path)
    sizes = []
    for record in records:
        if "size" in record and record["size"] not in sizes and record.get("kind") != "empty":
            sizes.append(record["size"])
    empty = next((record for record in records if record.get("kind") == "empty"), None)
    for size in sizes if only_size is None else [only_size]:
        of_size = [record for record in records if record.get("size") == size]
        runs = {kind: [record for record in of_size if record.get("kind") == kind]
                for kind in ("raw", "viewer", "viewer_before", "batch", "memory", "answers")}
        if runs["raw"] and runs["viewer"]:
            transfer_report(size, runs["raw"], runs["viewer"], runs["viewer_before"])
        if runs["raw"] and runs["batch"]:
            batch_report(size, runs["raw"], runs["batch"])
        if runs["memory"] and empty:
            memory_report(size, runs["memory"][0], empty)
        if runs["answers"]:
            answer_report(size, runs["answers"][0])


def main(arguments):
    commands = {
        "index": lambda entries, files: index(int(entries), int(files)),
        "cpu": cpu,
        "server": lambda prefix: print("%.2f" % server_seconds(prefix)),
        "seconds": lambda pid: print("%.2f" % stat_seconds("/proc/%s/stat" % pid)),
        "span": span,
        "since": since,
        "report": report,
    }
    if not arguments or arguments[0] not in commands:
        sys.exit(__doc__)
    commands[arguments[0]](*arguments[1:])


if __name__ == "__main__":
    main(sys.argv[1:])
