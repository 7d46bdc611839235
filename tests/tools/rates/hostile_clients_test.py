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
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "e2e"))
from harness import RatesService  # noqa: E402

PROGRAM = None  # from the command line
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


class HostileClientsTest(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.service = RatesService(PROGRAM, folder.name, "--no-fetch", "--no-cache")
        self.addCleanup(self.service.stop)

    def connect(self, sent=b""):
        connection = socket.create_connection(("127.0.0.1", self.service.port), timeout=TIMEOUT_S)
        self.addCleanup(connection.close)
        connection.sendall(sent)
        return connection

    def exchange(self, sent, half_close=False):
        """What the service writes for `sent` until it closes the connection."""
        connection = self.connect(sent)
        if half_close:
            connection.shutdown(socket.SHUT_WR)
        return b"".join(iter(lambda: connection.recv(65536), b""))

    def test_slow_senders_and_idle_connections_starve_no_one(self):
        for _ in range(500):  # idle
            self.connect()
        slow = [self.connect() for _ in range(20)]
        endless = b"GET " + QUERY.encode() + b" HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        # One byte a second from each slow sender, past the time a request may take.
        for sent in range(6):
            for connection in slow:
                connection.send(endless[sent:sent + 1])
            [(status, body)] = answers(self.exchange(request(QUERY)))
            self.assertEqual(status, 200)
            self.assertIn(b"<b>", body)
            time.sleep(1)
        # The slow senders were cut off; nothing waits for them.
        for connection in slow:
            self.assertEqual(connection.recv(100), b"")

    def test_a_client_with_too_many_requests_under_way_is_refused_with_a_503(self):
        held = [self.connect(b"G") for _ in range(200)]
        ended = select.select(held, [], [], 1)[0]  # refused, or closed when an idle place was taken over
        self.assertTrue(any(connection.recv(1000).startswith(b"HTTP/1.1 503 ") for connection in ended))
        self.assertGreater(len(held) - len(ended), 64)

    def test_each_request_gets_its_whole_answer_and_no_more_and_its_bytes_reach_the_log_escaped(self):
        [(_, page)] = answers(self.exchange(request("/")))
        ranges = "Range: bytes=" + ",".join(["0-"] * 2700)  # as many as a header line holds
        cases = [  # what, bytes sent, half-close, statuses
            ("many ranges", request("/", ranges), False, [200]),
            ("a long request line", request("/" + "a" * 3000), False, [414]),
            ("a large head", request("/", *["X-Pad: " + "a" * 1000] * 20), False, [431]),
            ("pipelined", request(QUERY, close=False) * 2 + request("/healthz"), False, [200, 200, 200]),
            ("a terminal escape", request("/\x1b[31mred"), False, [404]),
            ("bytes that are no UTF-8", request("/currency/convert?amt=1%FF%00%C0%AF&from=USD&to=EUR"), False, [400]),
            ("half-closed", request(QUERY, close=False), True, [200]),
        ]
        for what, sent, half_close, statuses in cases:
            with self.subTest(what):
                received = answers(self.exchange(sent, half_close))
                self.assertEqual([status for status, _ in received], statuses)
                self.assertLessEqual(max(len(body) for _, body in received), len(page))
                self.assertNotIn("\0", received[0][1].decode("utf-8"))  # strict: raises on invalid UTF-8
        log = self.service.text()
        self.assertIn(f"GET {QUERY} 200 {len(received[0][1])}\n", log)  # what the half-closed client got
        self.assertIn("GET /\\x1B[31mred 404", log)
        self.assertNotIn("\x1b", log)


if __name__ == "__main__":
    PROGRAM = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=2)
