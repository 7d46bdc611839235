"""A rate service on the loopback address whose answers each test chooses.

It records every request (path and User-Agent) so that a test can see exactly what
Kavrel asked for, and it can hold an answer back until the test lets it go.
"""

import http.server
import os
import socketserver
import threading
import urllib.parse
from dataclasses import dataclass

# The page of the worked example, shared with the C++ tests: the fourth cell of the
# second row is the rate, the bold text of the fifth cell the converted amount.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "result_page.html")) as page:
    RESULT_PAGE = page.read()
RESULT_LINE = "81.23 @ 0.8123 per Unit"

SERVER_ERROR_PAGE = """<html><body><h1>500 Internal Server Error</h1>
<p>The converter is not available.</p></body></html>
"""

LONGEST_HOLD_S = 30


@dataclass(frozen=True)
class Request:
    path: str
    user_agent: str

    @property
    def query(self):
        return urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query, keep_blank_values=True)


@dataclass
class Answer:
    status: int = 200
    page: str = RESULT_PAGE
    held: bool = False


class PortTaken(RuntimeError):
    pass


class _Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        service = self.server.service
        service.record(Request(self.path, self.headers.get("User-Agent", "")))
        answer = service.answer
        if answer.held:
            service.release_gate.wait(LONGEST_HOLD_S)
        body = self._fill(answer.page).encode("latin-1")
        self.send_response(answer.status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def _fill(self, page):
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)
        values = {key: query.get(name, [""])[0] for key, name in
                  (("source", "from"), ("target", "to"), ("amount", "amt"))}
        return page.format(**values) if "{source}" in page else page

    def log_message(self, *args):
        pass


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class RateServer:
    """Serves on host:port until stopped; start() again after stop() to come back."""

    def __init__(self, host, port):
        self.address = (host, port)
        self.answer = Answer()
        self.release_gate = threading.Event()
        self._requests = []
        self._lock = threading.Lock()
        self._server = None
        self._thread = None

    def start(self):
        try:
            self._server = _Server(self.address, _Handler)
        except OSError as error:
            raise PortTaken(f"cannot listen on {self.address[0]}:{self.address[1]} ({error.strerror}); "
                            "is another rate service running there?") from error
        self._server.service = self
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()

    def stop(self):
        if self._server:
            self.release_gate.set()
            self._server.shutdown()
            self._server.server_close()
            self._thread.join()
            self._server = None

    @property
    def running(self):
        return self._server is not None

    def answer_with(self, page=RESULT_PAGE, status=200, held=False):
        self.answer = Answer(status, page, held)
        self.release_gate.clear()

    def release(self):
        self.release_gate.set()

    def record(self, request):
        with self._lock:
            self._requests.append(request)

    def requests(self):
        with self._lock:
            return list(self._requests)

    def forget_requests(self):
        with self._lock:
            self._requests.clear()
