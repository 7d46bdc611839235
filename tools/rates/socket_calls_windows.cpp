#include <winsock2.h>

#include <algorithm>
#include <climits>

#include "socket_calls.h"

namespace kavrel::rates {
namespace {

// Winsock counts bytes in an int.
int byteCount(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

}  // namespace

bool waitReadable(socket_t socket, std::chrono::milliseconds wait) {
    WSAPOLLFD watched{socket, POLLRDNORM, 0};
    return WSAPoll(&watched, 1, static_cast<INT>(wait.count())) > 0;
}

std::ptrdiff_t receiveSome(socket_t socket, char* data, std::size_t size) {
    return ::recv(socket, data, byteCount(size), 0);
}

std::ptrdiff_t sendSome(socket_t socket, const char* data, std::size_t size) {
    return ::send(socket, data, byteCount(size), 0);
}

void endSending(socket_t socket) { ::shutdown(socket, SD_SEND); }

void closeSocket(socket_t socket) { ::closesocket(socket); }

void ownPortAlone(socket_t socket) {
    // Windows' SO_REUSEADDR would let another socket take the port over; this keeps it ours.
    const BOOL yes = TRUE;
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
}

}  // namespace kavrel::rates
