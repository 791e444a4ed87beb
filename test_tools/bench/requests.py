#!/usr/bin/env python3
"""What one process asked of the wine server per pipe message, from the server's own request trace
(wineserver -d1, as scripts/trace-requests runs it).

    requests.py TRACE [TOP [SECONDS]]
                                for the process that created the pipe "Lumen_Roll_V1.1": its
                                requests from its first read of the pipe to its last, by thread
                                and by request, per message read (TOP request kinds a thread,
                                default 12), and per second when the transfer took SECONDS: what
                                a thread does by the clock (timer rounds, repaints) is compared
                                so between runs that tracing slowed down differently

The trace is one line per request and one per reply, each led by the thread's id: "0048: read( ...)"
and "0048: read() = PENDING { ... }". The server is single-threaded, so the lines are in the order
the requests were served, whichever process made them. Thread and process ids are reused once
freed; the mapping follows the trace.
"""

import collections
import re
import sys

REQUEST = re.compile(r"^([0-9a-f]{4}): (\w+)\( (.*)$")
REPLY = re.compile(r"^([0-9a-f]{4}): (\w+)\(\) = \S+ \{(.*)$")
PIPE_NAME = "pipe\\\\Lumen_Roll_V1.1"


def select_kind(arguments):
    """A wait told apart by what it waits for: the pipe's waits, the window thread's message waits
    and the completion of an asynchronous call all go through this one request."""
    data = re.search(r"data=\{(\w*)", arguments)
    kind = data.group(1) if data and data.group(1) else "none"
    handles = re.search(r"handles=\{([^}]*)\}", arguments)
    count = len(handles.group(1).split(",")) if handles and handles.group(1) else 0
    timeout = "poll" if "timeout=0," in arguments else "wait"
    apc = "" if "prev_apc=0000" in arguments else "+apc_result"
    return "select(%s/%d,%s%s)" % (kind, count, timeout, apc)


def label(name, arguments):
    return select_kind(arguments) if name == "select" else name


def analyse(path):
    process_of = {}      # thread -> process, as the trace goes
    names = {}           # thread -> its description
    first_thread = {}    # process -> its first thread
    creating = {}        # thread -> whether its new_thread request is for its own process
    pipe_thread = None
    window = []          # (thread, label) from the first read of the pipe thread on
    last_read = None     # index into window just past the pipe thread's last read
    reads = 0
    with open(path, errors="replace") as trace:
        for line in trace:
            reply = REPLY.match(line)
            if reply:
                thread, name, fields = reply.groups()
                if name == "init_first_thread":
                    process = re.search(r"pid=([0-9a-f]{4})", fields).group(1)
                    process_of[thread] = process
                    first_thread[process] = thread
                elif name == "new_thread" and creating.pop(thread, False):
                    process_of[re.search(r"tid=([0-9a-f]{4})", fields).group(1)] = process_of.get(thread)
                continue
            request = REQUEST.match(line)
            if not request:
                continue
            thread, name, arguments = request.groups()
            if name == "new_thread":  # a thread of its own process, or a new process's first
                creating[thread] = arguments.startswith("process=ffffffff")
            if name == "set_thread_info" and 'desc=L"' in arguments:
                names[thread] = re.search(r'desc=L"([^"]*)"', arguments).group(1)
            if pipe_thread is None:
                if name == "create_named_pipe" and PIPE_NAME in arguments:
                    pipe_thread = thread
                continue
            if thread == pipe_thread and name == "read":
                reads += 1
                if not window:
                    window.append((thread, "read"))
                    last_read = 1
                    continue
            if not window:
                continue
            if process_of.get(thread) == process_of.get(pipe_thread):
                window.append((thread, label(name, arguments)))
                if thread == pipe_thread and name == "read":
                    last_read = len(window)
    if pipe_thread is None:
        sys.exit("requests.py: no process created the pipe in %s" % path)
    process = process_of.get(pipe_thread)
    main = first_thread.get(process)
    # The last read is the transfer's final message: what follows it is the pipe's closing.
    counted = window[:last_read - 1]
    return counted, reads - 1, names, main, pipe_thread


def report(path, top, seconds):
    counted, messages, names, main, pipe_thread = analyse(path)
    per_thread = collections.defaultdict(collections.Counter)
    for thread, what in counted:
        per_thread[thread][what] += 1
    total = sum(sum(kinds.values()) for kinds in per_thread.values())
    print("messages=%d requests=%d per_message=%.3f" % (messages, total, total / max(messages, 1)))
    for thread, kinds in sorted(per_thread.items(), key=lambda item: -sum(item[1].values())):
        name = names.get(thread) or ("main" if thread == main else "pipe reader" if thread == pipe_thread else "thread")
        count = sum(kinds.values())
        rate = " per_second=%.0f" % (count / seconds) if seconds else ""
        print("  thread %s %-22s requests=%-7d per_message=%.3f%s" % (thread, name, count, count / max(messages, 1), rate))
        for what, number in kinds.most_common(top):
            print("      %-48s %7d  %.3f" % (what, number, number / max(messages, 1)))


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3, 4):
        sys.exit(__doc__)
    report(sys.argv[1], int(sys.argv[2]) if len(sys.argv) >= 3 else 12,
           float(sys.argv[3]) if len(sys.argv) == 4 else 0.0)
