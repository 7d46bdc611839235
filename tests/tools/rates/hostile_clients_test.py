#!/usr/bin/env python3
"""kavrel-rates against careless and hostile clients on 127.0.0.1: slow senders and idle
connections starve no one, a connection cap refuses with a 503, a request gets at most
the page it asks for and a request too large a short refusal, pipelined and half-closed
clients are answered, and request bytes reach the log and the pages harmlessly.

  hostile_clients_test.py KAVREL_RATES     (a Windows program runs under $KAVREL_WINE, see scripts/wine-env)
"""

import os
import re
import select
import socket
import subprocess
import sys
import tempfile
import time
import unittest

COMMAND = None  # from the command line
QUERY = "/currency/convert?amt=100&from=USD&to=EUR&submit=Convert"
TIMEOUT_S = 5  # of each client: a starved service does not answer at all; this measures no speed


def request(target, *headers, close=True):
    lines = [f"GET {target} HTTP/1.1", "Host: 127.0.0.1", *headers] + (["Connection: close"] if close else [])
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def answers(data):
    """The (status, body) of each answer in `data`, which must hold them whole."""
    found = []
    while data:
        head, _, rest = data.partition(b"\r\n\r\n")
        length = int(re.search(rb"\r\nContent-Length: (\d+)", head, re.I)[1])
        assert len(rest) >= length, f"an answer cut short: {data[:200]!r}"
        found.append((int(head.split()[1]), rest[:length]))
        data = rest[length:]
    return found


class Service:
    def __init__(self):
        self.log = tempfile.NamedTemporaryFile(prefix="kavrel-rates-", suffix=".log")
        self.process = subprocess.Popen([*COMMAND, "--port", "0", "--no-fetch", "--no-cache"],
                                        stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log)
        deadline = time.monotonic() + 30
        while not (port := re.search(rb"listening on http://127\.0\.0\.1:(\d+)/", self.text())):
            assert time.monotonic() < deadline and self.process.poll() is None, self.text()
            time.sleep(0.05)
        self.port = int(port[1])

    def text(self):
        with open(self.log.name, "rb") as log:
            return log.read()

    def connect(self):
        return socket.create_connection(("127.0.0.1", self.port), timeout=TIMEOUT_S)

    def exchange(self, sent, half_close=False):
        """What the service writes for `sent` until it closes the connection."""
        with self.connect() as connection:
            connection.sendall(sent)
            if half_close:
                connection.shutdown(socket.SHUT_WR)
            return b"".join(iter(lambda: connection.recv(65536), b""))

    def stop(self):
        self.process.terminate()
        self.process.wait()
        self.log.close()


class HostileClientsTest(unittest.TestCase):
    def setUp(self):
        self.service = Service()
        self.addCleanup(self.service.stop)

    def test_slow_senders_and_idle_connections_starve_no_one(self):
        idle = [self.service.connect() for _ in range(500)]
        slow = [self.service.connect() for _ in range(20)]
        endless = b"GET " + QUERY.encode() + b" HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        # One byte a second from each slow sender, past the time a request may take.
        for sent in range(6):
            for connection in slow:
                connection.send(endless[sent:sent + 1])
            [(status, body)] = answers(self.service.exchange(request(QUERY)))
            self.assertEqual(status, 200)
            self.assertIn(b"<b>", body)
            time.sleep(1)
        # The slow senders were cut off; nothing waits for them.
        for connection in slow:
            self.assertEqual(connection.recv(100), b"")
        for connection in slow + idle:
            connection.close()

    def test_a_client_with_too_many_requests_under_way_is_refused_with_a_503(self):
        held = []
        for _ in range(200):
            held.append(self.service.connect())
            held[-1].send(b"G")
        ended = select.select(held, [], [], 1)[0]  # refused, or closed when an idle place was taken over
        self.assertTrue(any(connection.recv(1000).startswith(b"HTTP/1.1 503 ") for connection in ended))
        self.assertGreater(len(held) - len(ended), 64)
        for connection in held:
            connection.close()

    def test_each_request_gets_its_whole_answer_and_no_more(self):
        [(_, page)] = answers(self.service.exchange(request("/")))
        ranges = "Range: bytes=" + ",".join(["0-"] * 2700)  # as many as a header line holds
        cases = [  # what, bytes sent, half-close, statuses
            ("many ranges", request("/", ranges), False, [200]),
            ("a long request line", request("/" + "a" * 3000), False, [414]),
            ("a large head", request("/", *["X-Pad: " + "a" * 1000] * 20), False, [431]),
            ("pipelined", request(QUERY, close=False) * 2 + request("/healthz"), False, [200, 200, 200]),
            ("half-closed", request(QUERY, close=False), True, [200]),
        ]
        for what, sent, half_close, statuses in cases:
            with self.subTest(what):
                received = answers(self.service.exchange(sent, half_close))
                self.assertEqual([status for status, _ in received], statuses)
                self.assertLessEqual(max(len(body) for _, body in received), len(page))
        logged = f"GET {QUERY} 200 {len(received[0][1])}".encode()  # what the half-closed client got
        self.assertTrue(any(line.endswith(logged) for line in self.service.text().splitlines()))

    def test_request_bytes_reach_the_log_escaped_and_refusal_pages_as_utf8(self):
        [(status, _)] = answers(self.service.exchange(request("/\x1b[31mred")))
        self.assertEqual(status, 404)
        self.assertIn(b"GET /\\x1B[31mred 404", self.service.text())
        self.assertNotIn(b"\x1b", self.service.text())
        [(status, page)] = answers(self.service.exchange(request("/currency/convert?amt=1%FF%00%C0%AF&from=USD&to=EUR")))
        self.assertEqual(status, 400)
        self.assertNotIn("\0", page.decode("utf-8"))  # strict: raises on invalid UTF-8


if __name__ == "__main__":
    COMMAND = ([os.environ["KAVREL_WINE"]] if sys.argv[1].endswith(".exe") else []) + sys.argv[1:2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
