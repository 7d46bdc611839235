#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "socket_calls.h"

namespace kavrel::rates {

bool WaitReadable(socket_t socket, std::chrono::milliseconds wait) {
    pollfd watched{socket, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&watched, 1, static_cast<int>(wait.count()));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

std::ptrdiff_t ReceiveSome(socket_t socket, char* data, std::size_t size) {
    ssize_t received = 0;
    do {
        received = ::recv(socket, data, size, 0);
    } while (received < 0 && errno == EINTR);
    return received;
}

std::ptrdiff_t SendSome(socket_t socket, const char* data, std::size_t size) {
    ssize_t sent = 0;
    do {
        sent = ::send(socket, data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent;
}

void EndSending(socket_t socket) { ::shutdown(socket, SHUT_WR); }

void CloseSocket(socket_t socket) { ::close(socket); }

void OwnPortAlone(socket_t socket) {
    // Quick restarts over connections in TIME_WAIT, but unlike httplib's default no SO_REUSEPORT.
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

}  // namespace kavrel::rates
