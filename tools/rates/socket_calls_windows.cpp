#include <winsock2.h>

#include <algorithm>
#include <climits>

#include "socket_calls.h"

namespace kavrel::rates {
namespace {

// Winsock counts bytes in an int.
int ByteCount(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

}  // namespace

bool WaitReadable(socket_t socket, std::chrono::milliseconds wait) {
    WSAPOLLFD watched{socket, POLLRDNORM, 0};
    return WSAPoll(&watched, 1, static_cast<INT>(wait.count())) > 0;
}

std::ptrdiff_t ReceiveSome(socket_t socket, char* data, std::size_t size) {
    return ::recv(socket, data, ByteCount(size), 0);
}

std::ptrdiff_t SendSome(socket_t socket, const char* data, std::size_t size) {
    return ::send(socket, data, ByteCount(size), 0);
}

void EndSending(socket_t socket) { ::shutdown(socket, SD_SEND); }

void CloseSocket(socket_t socket) { ::closesocket(socket); }

void OwnPortAlone(socket_t socket) {
    // Windows' SO_REUSEADDR would let another socket take the port over; this keeps it ours.
    const BOOL yes = TRUE;
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
}

}  // namespace kavrel::rates
