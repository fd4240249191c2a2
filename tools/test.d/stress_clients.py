"""Clients that drive a running Quarvello over loopback port 80 for the Wine scripts of
tools/test.d, and the checks of what it answered and logged. Standard library only; run as
/usr/bin/python3 tools/test.d/stress_clients.py COMMAND ... (not executable itself, so tools/test
passes it by). Each command prints what it checked and exits non-zero on a failure.

  exactness WEB LOG CLIENTS SECONDS      mixed requests from many clients, byte for byte
  idle-slow WEB LOG PID IDLE SLOW DEADLINE PACE   idle and slow clients against the head deadline
  hostile WEB LOG CORPUS SECRET          the fuzz corpus replayed, no secret in any answer
"""
import os
import random
import re
import selectors
import socket
import sys
import threading
import time

HOST, PORT = "127.0.0.1", 80
STAMP = re.compile(rb"^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}$")
NOT_FOUND = b"HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\nNot Found"
INDEX_NOT_FOUND = b"HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\nindex.html not found"
BAD_REQUEST = b"HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n"
NOT_ALLOWED = b"HTTP/1.1 405 Method Not Allowed\r\nConnection: close\r\n\r\n"
failures = []


def fail(what):
    failures.append(what)
    print("  FAILED: " + what, flush=True)


def request(method, target):
    return (method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n").encode("latin-1")


def ok(content_type, body, head_only=False):
    header = ("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: %s\r\nContent-Length: %d\r\n\r\n"
              % (content_type, len(body))).encode()
    return header if head_only else header + body


def record(method, target, status):
    return b'127.0.0.1 "' + method.encode() + b" " + target.encode("latin-1") + b'" ' + str(status).encode()


def pattern(size, seed):
    return random.Random(seed).randbytes(size)


def exchange(data, timeout=30.0, pieces=0, half_close=False):
    """Sends data on a new connection and reads until the server closes. Returns the bytes and
    whether the server closed cleanly (not a reset, an error or the time-out)."""
    chunks = []
    try:
        with socket.create_connection((HOST, PORT), timeout=timeout) as s:
            if pieces:
                for at in range(0, len(data), pieces):
                    s.sendall(data[at:at + pieces])
            else:
                s.sendall(data)
            if half_close:
                s.shutdown(socket.SHUT_WR)
            end = time.monotonic() + timeout
            while time.monotonic() < end:
                chunk = s.recv(262144)
                if not chunk:
                    return b"".join(chunks), True
                chunks.append(chunk)
    except OSError:
        pass
    return b"".join(chunks), False


def read_log(path):
    """The log read back with every line checked whole: a timestamp, then an [INFO] record of the
    server or an [ACCESS] record of a loopback client ending in a known status. Returns the count
    of each access record, the number of [INFO] lines and the broken lines."""
    with open(path, "rb") as f:
        data = f.read()
    lines = data.split(b"\r\n")
    broken = [b"without a line end: " + lines[-1]] if lines[-1] else []
    access, info = {}, 0
    for line in lines[:-1]:
        stamp, rest = line[:23], line[23:]
        whole = STAMP.match(stamp) and b"\r" not in line and b"\n" not in line
        if whole and rest in (b" [INFO] Server started", b" [INFO] Server stopped"):
            info += 1
        elif (whole and rest.startswith(b' [ACCESS] 127.0.0.1 "') and re.search(rb'" (200|400|404|405|413|500)$', rest)
              and b" [ACCESS] " not in rest[10:] and b" [INFO] " not in rest):
            access[rest[10:]] = access.get(rest[10:], 0) + 1
        else:
            broken.append(line)
    return access, info, broken


def check_log(path, expected, info_lines=1):
    """The log holds exactly the expected access records (record -> count), whole lines only."""
    access, info, broken = read_log(path)
    if broken:
        fail("%d broken log lines, the first: %r" % (len(broken), broken[0][:120]))
    if info != info_lines:
        fail("%d [INFO] lines, not %d" % (info, info_lines))
    for rec in sorted(set(access) | set(expected)):
        if access.get(rec, 0) != expected.get(rec, 0):
            fail("%d records %r, not %d" % (access.get(rec, 0), rec, expected.get(rec, 0)))
    total = sum(access.values())
    if not broken and access == expected:
        print("  the log holds exactly one whole record per answered request (%d), and no other line "
              "but %d [INFO]" % (total, info))


def plant(web, name, data):
    path = os.path.join(web, *name.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def process_counts(pid):
    """Threads and open descriptors of the exe's process, read from outside through /proc."""
    return len(os.listdir("/proc/%d/task" % pid)), len(os.listdir("/proc/%d/fd" % pid))


def exactness(web, log, clients, seconds):
    small, big = pattern(1024, 1), pattern(10 * 1024 * 1024, 2)
    plant(web, "small.txt", small)
    plant(web, "big.bin", big)
    post = (b"POST /small.txt HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 65536\r\n\r\n" + b"x" * 65536)
    kinds = [
        ("GET of 1 KiB", request("GET", "/small.txt"), ok("text/plain; charset=utf-8", small),
         record("GET", "/small.txt", 200)),
        ("GET of 10 MiB", request("GET", "/big.bin"), ok("application/octet-stream", big),
         record("GET", "/big.bin", 200)),
        ("HEAD of 10 MiB", request("HEAD", "/big.bin"), ok("application/octet-stream", big, True),
         record("HEAD", "/big.bin", 200)),
        ("404", request("GET", "/missing.txt"), NOT_FOUND, record("GET", "/missing.txt", 404)),
        ("405 with a 64 KiB body", post, NOT_ALLOWED, record("POST", "/small.txt", 405)),
        ("400 for ..", request("GET", "/../small.txt"), BAD_REQUEST, record("GET", "/../small.txt", 400)),
    ]
    # In every eight requests three small GETs and one of each other kind.
    cycle = [0, 1, 0, 2, 0, 3, 4, 5]
    sent, exact = [0] * len(kinds), [0] * len(kinds)
    lock = threading.Lock()
    end = time.monotonic() + seconds

    def client(c):
        for i in range(100000):
            if time.monotonic() >= end:
                return
            k = cycle[(c + i) % len(cycle)]
            got, closed = exchange(kinds[k][1])
            with lock:
                sent[k] += 1
                if closed and got == kinds[k][2]:
                    exact[k] += 1
                elif sent[k] - exact[k] <= 3:
                    fail("%s: %d bytes, %s, begins %r" % (kinds[k][0], len(got),
                                                          "closed" if closed else "not closed cleanly", got[:40]))

    print("exactness: %d clients for %d s: GET 1 KiB and 10 MiB, HEAD, 404, 405 with a 64 KiB body, 400"
          % (clients, seconds), flush=True)
    threads = [threading.Thread(target=client, args=(c,)) for c in range(clients)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for k, kind in enumerate(kinds):
        if sent[k] == 0 or exact[k] != sent[k]:
            fail("%s: %d of %d byte-exact" % (kind[0], exact[k], sent[k]))
    print("  %d requests, %d byte-exact: %s" % (sum(sent), sum(exact),
                                               ", ".join("%s %d" % (kind[0], sent[k]) for k, kind in enumerate(kinds))))
    check_log(log, {kinds[k][3]: sent[k] for k in range(len(kinds)) if sent[k]})


def idle_slow(web, log, pid, idle, slow, deadline, pace):
    small = pattern(1024, 1)
    plant(web, "small.txt", small)
    answer = ok("text/plain; charset=utf-8", small)
    time.sleep(1.0)  # let the probe connection of the start end
    baseline = process_counts(pid)
    print("idle-slow: %d idle and %d slow clients, %d connecting a second, a %d s request-head deadline; "
          "the exe has %d threads and %d descriptors" % (idle, slow, pace, deadline, *baseline), flush=True)

    watching = threading.Event()
    watching.set()
    live = {"count": 0, "wrong": 0, "slowest": 0.0}

    def live_client():
        while watching.is_set() and live["count"] < 1000:
            begin = time.monotonic()
            got, closed = exchange(request("GET", "/small.txt"), timeout=5)
            live["slowest"] = max(live["slowest"], time.monotonic() - begin)
            live["count"] += 1
            if got != answer or not closed:
                live["wrong"] += 1
            time.sleep(0.2)

    live_thread = threading.Thread(target=live_client)
    live_thread.start()
    # Connections arrive at a pace the exe takes in as they come (under Wine each accepted one
    # costs it a few milliseconds of thread creation), so the live client never queues behind
    # a burst of them.
    socks, connected = [], []
    for i in range(idle + slow):
        while time.monotonic() < (connected[0] if connected else 0) + i / pace:
            time.sleep(0.001)
        s = socket.create_connection((HOST, PORT), timeout=10)
        connected.append(time.monotonic())
        if i >= idle:
            s.sendall(b"GET /small.txt HTTP/1.1\r\n")
        s.setblocking(False)
        socks.append(s)
    connected_by = time.monotonic()
    print("  connected in %.1f s; the exe now has %d threads" % (connected_by - connected[0], process_counts(pid)[0]),
          flush=True)
    finished = [False] * len(socks)

    def dripper():
        header = b"X-Slow: abcdefghijklmnopqrstuvwxyz"
        for n in range(1, 100):
            while watching.is_set() and time.monotonic() < connected_by + 2 * n:
                time.sleep(0.02)
            if not watching.is_set():
                return
            for i in range(idle, len(socks)):
                if not finished[i]:
                    try:
                        socks[i].send(header[n % len(header):n % len(header) + 1])
                    except OSError:
                        pass

    drip_thread = threading.Thread(target=dripper)
    drip_thread.start()
    selector = selectors.DefaultSelector()
    for i, s in enumerate(socks):
        selector.register(s, selectors.EVENT_READ, i)
    received = [b""] * len(socks)
    closed_at, reset = [None] * len(socks), [False] * len(socks)
    open_count, give_up = len(socks), connected_by + deadline + 15
    while open_count and time.monotonic() < give_up:
        for key, _ in selector.select(timeout=0.1):
            i = key.data
            try:
                chunk = socks[i].recv(65536)
                if chunk:
                    received[i] += chunk
                    continue
            except BlockingIOError:
                continue
            except OSError:
                reset[i] = True
            closed_at[i] = time.monotonic()
            finished[i] = True
            selector.unregister(socks[i])
            open_count -= 1
    watching.clear()
    live_thread.join()
    drip_thread.join()

    early, late, wrong, still_open = [], [], [], []
    held_times = []
    for i in range(len(socks)):
        who = "%s client %d" % ("slow" if i >= idle else "idle", i)
        if closed_at[i] is None or reset[i]:
            still_open.append(who + (" was reset" if reset[i] else " is still open"))
            continue
        held = closed_at[i] - connected[i]
        held_times.append(held)
        if received[i] != (answer if i >= idle else b""):
            wrong.append("%s got %d bytes" % (who, len(received[i])))
        if held < deadline - 0.05:
            early.append("%s closed after %.2f s" % (who, held))
        if held > deadline + 2:
            late.append("%s closed after %.2f s" % (who, held))
    for name, found in (("not closed cleanly", still_open), ("wrong answer", wrong), ("closed early", early),
                        ("closed late", late)):
        if found:
            fail("%d %s, the first: %s" % (len(found), name, found[0]))
    if held_times:
        print("  every one closed %.2f to %.2f s after its connect; the slow ones answered at the deadline"
              % (min(held_times), max(held_times)))
    if live["count"] < 10 or live["wrong"] or live["slowest"] >= 1.0:
        fail("live client: %d requests, %d wrong, the slowest %.2f s" % (live["count"], live["wrong"], live["slowest"]))
    else:
        print("  a live client was answered %d times meanwhile, the slowest in %.2f s" % (live["count"], live["slowest"]))

    for s in socks:
        s.close()

    def back(counts):
        return counts[0] == baseline[0] and counts[1] <= baseline[1]

    now, end = process_counts(pid), time.monotonic() + 20
    while not back(now) and time.monotonic() < end:
        time.sleep(0.2)
        now = process_counts(pid)
    if not back(now):
        fail("the exe has %d threads and %d descriptors, not %d and %d" % (*now, *baseline))
    else:
        print("  the exe is back to %d threads and %d descriptors" % now)
    check_log(log, {record("GET", "/small.txt", 200): slow + live["count"]})


def hostile(web, log, corpus, secret):
    served = {"index.html": b"home", "sub/page.txt": b"page", "x": b"x", "secret.txt": b"not the secret"}
    for name, data in served.items():
        plant(web, name, data)
    # Besides the fixed responses, an answer may only be one of the planted files as served.
    allowed = {b"", BAD_REQUEST, INDEX_NOT_FOUND, NOT_FOUND, NOT_ALLOWED}
    for name, data in served.items():
        for method in ("GET", "HEAD"):
            got, closed = exchange(request(method, "/" + name))
            if not closed or not got.startswith(b"HTTP/1.1 200 OK\r\n") or not got.endswith(
                    b"\r\n\r\n" + (data if method == "GET" else b"")):
                fail("%s /%s gave %r" % (method, name, got[:60]))
            allowed.add(got)

    inputs = []
    for name in sorted(os.listdir(corpus)):
        with open(os.path.join(corpus, name), "rb") as f:
            data = f.read()
        if len(data) >= 2:
            inputs.append((name, data[1:], 1 + data[0] % 64))
    aimed = ["/../secret.txt", "/../../secret.txt", "/../../../secret.txt", "/..\\secret.txt", "\\..\\secret.txt",
             "/sub/../../secret.txt", "/.../secret.txt", "/%2e%2e/secret.txt", "/..%5csecret.txt", "/../Web.txt",
             "/../Log/secret.txt", "//../secret.txt", "/C:/secret.txt", "C:\\secret.txt", "/C:\\secret.txt",
             "/C:/users/root/AppData/Local/Quarvel/secret.txt", "C:\\users\\root\\AppData\\Local\\secret.txt",
             "\\\\?\\C:\\secret.txt", "//?/C:/secret.txt", "\\\\.\\C:\\secret.txt", "/\\\\localhost\\C$\\secret.txt",
             "/Z:/tmp", "/secret.txt::$DATA", "/secret.txt:stream", "/secret.txt.", "/secret.txt ", "/..", ".."]
    inputs += [(target, request("GET", target), 64) for target in aimed]
    print("hostile: %d inputs (the fuzz corpus and %d aimed at a secret beside and above the web root), "
          "each in pieces, then half-closed" % (len(inputs), len(aimed)), flush=True)
    leaks, unexpected = [], []
    for name, data, pieces in inputs:
        got, _ = exchange(data, timeout=10, pieces=pieces, half_close=True)
        if secret in got:
            leaks.append(name)
        if got not in allowed:
            unexpected.append("%s: %r" % (name, got[:60]))
    if leaks:
        fail("%d answers carry the secret, the first for %s" % (len(leaks), leaks[0]))
    if unexpected:
        fail("%d unexpected answers, the first %s" % (len(unexpected), unexpected[0]))
    if not leaks and not unexpected:
        print("  no answer carries the secret; each is a fixed response or one of the %d planted files"
              % len(served))
    got, closed = exchange(request("GET", "/sub/page.txt"))
    if not closed or got != ok("text/plain; charset=utf-8", b"page"):
        fail("the exe no longer serves: %r" % got[:60])
    else:
        print("  still serving afterwards")
    access, _, broken = read_log(log)
    if broken:
        fail("%d broken log lines, the first: %r" % (len(broken), broken[0][:120]))
    else:
        print("  %d log lines, every one whole (control bytes written escaped)" % (sum(access.values()) + 1))


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "exactness" and len(argv) == 6:
        exactness(argv[2], argv[3], int(argv[4]), int(argv[5]))
    elif command == "idle-slow" and len(argv) == 9:
        idle_slow(argv[2], argv[3], int(argv[4]), int(argv[5]), int(argv[6]), int(argv[7]), int(argv[8]))
    elif command == "hostile" and len(argv) == 6:
        hostile(argv[2], argv[3], argv[4], argv[5].encode())
    else:
        print(__doc__)
        return 2
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
