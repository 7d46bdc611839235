#pragma once
// The socket calls of the service's own connection handling that differ
// between POSIX (socket_calls_posix.cpp) and Windows (socket_calls_windows.cpp).
#include <chrono>
#include <cstddef>

#include <httplib.h>  // socket_t and the system's socket headers

namespace kavrel::rates {

// Whether the socket has bytes, or its end, to read within `wait` (zero: now).
bool WaitReadable(socket_t socket, std::chrono::milliseconds wait);

// recv() and send(): the count of bytes, 0 at the end of the stream, < 0 on an
// error. Sending to a client that has gone raises no signal.
std::ptrdiff_t ReceiveSome(socket_t socket, char* data, std::size_t size);
std::ptrdiff_t SendSome(socket_t socket, const char* data, std::size_t size);

// Ends the sending side: the client reads what was sent, then the end.
void EndSending(socket_t socket);
void CloseSocket(socket_t socket);

// A second service on a port in use must fail, not share it: that is how a
// second Kavrel's service learns that the first one's already serves.
void OwnPortAlone(socket_t socket);

}  // namespace kavrel::rates
