#include "guarded_server.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "socket_calls.h"

namespace kavrel::rates {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often a waiting connection looks whether it should give way or the service stops.
constexpr milliseconds kWaitSlice{50};
// Threads that serve connections as they come, and how long a connection waits
// for one of them before it gets a thread of its own; also how often the
// accept thread looks, while no connection comes.
constexpr std::size_t kCoreThreads = 16;
constexpr milliseconds kStall{10};
constexpr std::size_t kReadBufferBytes = 4096;
// What a client is left unread when its connection closes; beyond it the close may reset.
constexpr std::size_t kDrainedBytes = 64 * 1024;

// A short plain-text answer after which the connection closes, for refusals
// written before httplib reads the request.
struct PlainAnswer {
    std::string head;
    std::string_view body;
};

PlainAnswer PlainAnswerFor(std::string_view status, std::string_view body) {
    return {"HTTP/1.1 " + std::string(status) + "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n",
            body};
}

enum class End { Peer, Local };

// The numeric address and port of one end of a connection; "" and 0 when unknown.
std::pair<std::string, int> Endpoint(socket_t socket, End end) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    if ((end == End::Peer ? getpeername(socket, raw, &length) : getsockname(socket, raw, &length)) != 0) return {};
    char host[NI_MAXHOST] = {};
    char port[NI_MAXSERV] = {};
    if (getnameinfo(raw, length, host, sizeof host, port, sizeof port, NI_NUMERICHOST | NI_NUMERICSERV) != 0) return {};
    int number = 0;
    std::from_chars(port, port + std::strlen(port), number);
    return {host, number};
}

// Owns an accepted socket. Closing ends the sending side first and reads
// what the client has already sent, so that the close does not reset the
// connection before the client has read the last answer.
class ClientSocket {
public:
    explicit ClientSocket(socket_t socket) : socket_(socket) {}
    ClientSocket(ClientSocket&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
    ClientSocket& operator=(ClientSocket&&) = delete;
    ~ClientSocket() {
        if (socket_ == INVALID_SOCKET) return;
        EndSending(socket_);
        std::vector<char> unread(kReadBufferBytes);
        for (std::size_t drained = 0; drained < kDrainedBytes && WaitReadable(socket_, milliseconds(0));) {
            const auto count = ReceiveSome(socket_, unread.data(), unread.size());
            if (count <= 0) break;
            drained += static_cast<std::size_t>(count);
        }
        CloseSocket(socket_);
    }
    socket_t Get() const { return socket_; }

private:
    socket_t socket_;
};

// Counts connections per client address and in all, within their caps. A
// connection waiting idle for a request (no byte of it has come) holds its
// place only until a new connection needs it: at a cap, the new one takes
// over the oldest idle place of its client (or, at the service's cap, of
// anyone), and is refused only when there is none.
class Admission {
public:
    explicit Admission(const ConnectionLimits& limits) : limits_(limits) {}

    class Place {
    public:
        Place(Admission& admission, std::string client, socket_t socket)
            : admission_(admission), client_(std::move(client)), socket_(socket) {}
        Place(const Place&) = delete;
        Place& operator=(const Place&) = delete;
        ~Place() { admission_.Leave(*this); }

        // Offers the place to new connections while the connection waits for
        // its next request; it is offered from its admission to its first byte.
        void Idle() { admission_.Idle(*this); }
        // Ends the wait; false when the place was taken over and the connection must end.
        bool Resume() { return admission_.Resume(*this); }
        bool TakenOver() const { return takenOver_; }

    private:
        friend class Admission;
        Admission& admission_;
        const std::string client_;
        const socket_t socket_;
        std::atomic<bool> takenOver_{false};
        std::optional<std::list<Place*>::iterator> offered_;  // in `idle_`, under the mutex
    };

    // A place for a connection of `client`, none beyond the caps.
    std::unique_ptr<Place> Admit(const std::string& client, socket_t socket) {
        const std::lock_guard lock(mutex_);
        const auto ofClient = [&](const Place& place) { return place.client_ == client; };
        if (Count(client) >= limits_.perClient && !TakeOverIdle(ofClient)) return nullptr;
        if (total_ >= limits_.total && !TakeOverIdle([](const Place&) { return true; })) return nullptr;
        ++perClient_[client];
        ++total_;
        auto place = std::make_unique<Place>(*this, client, socket);
        Offer(*place);
        return place;
    }

private:
    std::size_t Count(const std::string& client) const {
        const auto found = perClient_.find(client);
        return found == perClient_.end() ? 0 : found->second;
    }

    void Offer(Place& place) { place.offered_ = idle_.insert(idle_.end(), &place); }
    void Withdraw(Place& place) {
        if (place.offered_) idle_.erase(*std::exchange(place.offered_, std::nullopt));
    }

    void Release(const std::string& client) {
        --total_;
        if (const auto found = perClient_.find(client); --found->second == 0) perClient_.erase(found);
    }

    // The socket tells whether a request has begun: the connection's thread may not have seen it yet.
    template <class Which>
    bool TakeOverIdle(Which which) {
        const auto found = std::find_if(idle_.begin(), idle_.end(), [&](const Place* place) {
            return which(*place) && !WaitReadable(place->socket_, milliseconds(0));
        });
        if (found == idle_.end()) return false;
        Place& place = **found;
        Withdraw(place);
        place.takenOver_ = true;
        Release(place.client_);
        return true;
    }

    void Idle(Place& place) {
        const std::lock_guard lock(mutex_);
        if (!place.takenOver_ && !place.offered_) Offer(place);
    }

    bool Resume(Place& place) {
        const std::lock_guard lock(mutex_);
        Withdraw(place);
        return !place.takenOver_;
    }

    void Leave(Place& place) {
        const std::lock_guard lock(mutex_);
        Withdraw(place);
        if (!place.takenOver_) Release(place.client_);
    }

    const ConnectionLimits& limits_;
    std::mutex mutex_;
    std::unordered_map<std::string, std::size_t> perClient_;
    std::size_t total_ = 0;
    std::list<Place*> idle_;  // oldest first
};

// How a request's head (its line and headers) came.
enum class Head { Whole, Missing, LineTooLong, TooLarge };

// Header lines taken out of each head before httplib reads it. Pages are small
// and made per request, so each answer is the whole page, as it is: ranges
// let a small request ask for many copies (and httplib reads a long Range
// header with a regular expression whose depth grows with it, deep enough to
// take megabytes of a thread's stack, more than Windows gives one), and
// compressing a page costs more than sending it (brotli took some 60 ms of
// processor time for the home page).
bool IgnoredHeader(std::string_view line) {
    const auto name = line.substr(0, line.find(':'));  // as httplib reads it
    const auto named = [name](std::string_view ignored) {
        return std::equal(name.begin(), name.end(), ignored.begin(), ignored.end(),
                          [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    };
    return name.size() < line.size() && (named("range") || named("accept-encoding"));
}

// One connection's bytes, as httplib's request parser and answer writer see
// them. A request's head is received whole before httplib reads it, so that
// httplib never waits on the client for it; what was received beyond it
// stays for the next request (pipelining).
class ConnectionStream final : public httplib::Stream {
public:
    ConnectionStream(socket_t socket, std::pair<std::string, int> peer, const ConnectionLimits& limits,
                     std::function<bool()> stopping)
        : socket_(socket), peer_(std::move(peer)), limits_(limits), stopping_(std::move(stopping)) {}

    // The next request: the connection may wait idle for it until its time is up.
    void BeginRequest() {
        pending_.erase(0, taken_);
        taken_ = 0;
        deadline_ = Clock::now() + limits_.requestTime;
        requestBytes_ = 0;
        exchange_ = Exchange{peer_.first, {}, 0, 0};
    }

    // Waits for the first byte of the request. False when the connection is
    // to end: its time ran out, the service stops, or `mayWait` says no.
    bool AwaitRequest(const std::function<bool()>& mayWait) {
        if (taken_ < pending_.size()) return true;  // pipelined
        while (const auto wait = NextWait()) {
            if (!mayWait()) return false;
            if (WaitReadable(socket_, *wait)) return true;
        }
        return false;
    }

    // Receives the head from its first byte on, within the time and sizes a
    // request has, and takes the ignored header lines out. It is read line by
    // line as httplib reads it: it ends at the first line that is "\r\n" alone.
    Head ReceiveHead() {
        deadline_ = Clock::now() + limits_.requestTime;
        std::size_t line = taken_;
        for (;;) {
            const auto lineEnd = pending_.find('\n', line);
            const auto received = std::min(lineEnd, pending_.size()) - taken_;
            if (line == taken_ && received > limits_.requestLineBytes) {
                exchange_.requestLine = pending_.substr(taken_, limits_.requestLineBytes);
                return Head::LineTooLong;
            }
            if (received > limits_.requestBytes) return Head::TooLarge;
            if (lineEnd == std::string::npos) {
                if (Receive() <= 0) return Head::Missing;
                continue;
            }
            const std::string_view text(pending_.data() + line, lineEnd + 1 - line);
            if (line == taken_) {
                exchange_.requestLine = text.substr(0, text.find_last_not_of("\r\n") + 1);
            } else if (text == "\r\n") {
                return Head::Whole;
            } else if (IgnoredHeader(text)) {
                pending_.erase(line, text.size());
                continue;
            }
            line = lineEnd + 1;
        }
    }

    // Whether the request broke its limits or the connection failed: it must end.
    bool Broken() const { return broken_; }
    const Exchange& CurrentExchange() const { return exchange_; }

    bool is_readable() const override { return taken_ < pending_.size() || WaitReadable(socket_, milliseconds(0)); }
    bool is_writable() const override { return !broken_; }

    ssize_t read(char* data, size_t size) override {
        if (taken_ == pending_.size()) {
            if (const auto received = Receive(); received <= 0) return received;
        }
        const auto count = std::min(size, pending_.size() - taken_);
        if (requestBytes_ + count > limits_.requestBytes) {
            broken_ = true;
            return -1;
        }
        requestBytes_ += count;
        std::memcpy(data, pending_.data() + taken_, count);
        taken_ += count;
        return static_cast<ssize_t>(count);
    }

    // All of it or nothing: httplib would take a short count for a failure anyway.
    ssize_t write(const char* data, size_t size) override {
        std::size_t sent = 0;
        while (sent < size) {
            const auto count = SendSome(socket_, data + sent, size - sent);
            if (count <= 0) break;
            sent += static_cast<std::size_t>(count);
        }
        NoteAnswer({data, size}, sent);
        if (sent < size) {
            broken_ = true;
            return -1;
        }
        return static_cast<ssize_t>(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { std::tie(ip, port) = peer_; }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        if (!local_) local_ = Endpoint(socket_, End::Local);
        std::tie(ip, port) = *local_;
    }
    socket_t socket() const override { return socket_; }

private:
    // The next wait for bytes: a slice of the time left; none once it is up or the service stops.
    std::optional<milliseconds> NextWait() const {
        if (stopping_()) return std::nullopt;
        const auto left = std::chrono::ceil<milliseconds>(deadline_ - Clock::now());
        if (left <= milliseconds(0)) return std::nullopt;
        return std::min(left, kWaitSlice);
    }

    // Appends what comes next: the count of bytes, 0 at the connection's end, -1 on a failure.
    ssize_t Receive() {
        while (const auto wait = NextWait()) {
            if (!WaitReadable(socket_, *wait)) continue;
            const auto before = pending_.size();
            pending_.resize(before + kReadBufferBytes);
            const auto count = ReceiveSome(socket_, pending_.data() + before, kReadBufferBytes);
            pending_.resize(before + static_cast<std::size_t>(std::max<std::ptrdiff_t>(count, 0)));
            if (count < 0) break;
            return count;
        }
        broken_ = true;
        return -1;
    }

    // httplib writes an answer's head in one piece, then its body: the first
    // write of an answer tells its status. An interim "100 Continue" is not the answer.
    void NoteAnswer(std::string_view bytes, std::size_t sent) {
        if (exchange_.status != 0) {
            exchange_.bodyBytes += sent;
            return;
        }
        constexpr std::string_view kVersion = "HTTP/1.1 ";
        int status = 0;
        if (bytes.starts_with(kVersion))
            std::from_chars(bytes.data() + kVersion.size(), bytes.data() + bytes.size(), status);
        if (status >= 200) exchange_.status = status;
    }

    const socket_t socket_;
    const std::pair<std::string, int> peer_;
    mutable std::optional<std::pair<std::string, int>> local_;
    const ConnectionLimits& limits_;
    const std::function<bool()> stopping_;
    std::string pending_;    // received and not yet read by httplib ...
    std::size_t taken_ = 0;  // ... from here on
    Clock::time_point deadline_;
    std::size_t requestBytes_ = 0;
    bool broken_ = false;
    Exchange exchange_;
};

// Answers a head beyond its limits; the connection then ends.
bool RefuseHead(ConnectionStream& stream, Head head) {
    const auto [status, body] =
        head == Head::LineTooLong
            ? std::pair("414 URI Too Long", "The request line is too long.\n")
            : std::pair("431 Request Header Fields Too Large", "The request's head is too large.\n");
    const auto answer = PlainAnswerFor(status, body);
    stream.write(answer.head.data(), answer.head.size());
    stream.write(answer.body.data(), answer.body.size());
    return false;
}

}  // namespace

// An admitted connection: the place is given back before the socket closes,
// so that a client that reconnects on seeing the close finds it free.
struct GuardedServer::Connection {
    ClientSocket socket;
    std::pair<std::string, int> peer;  // address and port
    std::unique_ptr<Admission::Place> place;
};

namespace {

// Serves admitted connections in their order, on threads that are kept. Up
// to `core` threads start as connections come; beyond them a thread starts
// only for a connection that has waited kStall for one, up to `limit`. So a
// busy service keeps a few threads busy instead of switching between many,
// and clients that hold threads (slow or idle ones) delay others by kStall.
class ConnectionThreads {
public:
    using Serve = std::function<void(GuardedServer::Connection&)>;
    ConnectionThreads(std::size_t core, std::size_t limit, Serve serve)
        : core_(core), limit_(limit), serve_(std::move(serve)) {}
    ConnectionThreads(const ConnectionThreads&) = delete;
    ConnectionThreads& operator=(const ConnectionThreads&) = delete;
    ~ConnectionThreads() { Finish(); }

    void Run(GuardedServer::Connection connection) {
        const std::lock_guard lock(mutex_);
        waiting_.push_back({std::move(connection), Clock::now()});
        if (idle_ < waiting_.size() && threads_.size() < core_) Start();
        StartForStalled();
        ready_.notify_one();
    }

    // Called also when no connection has come for a while.
    void ServeStalled() {
        const std::lock_guard lock(mutex_);
        StartForStalled();
    }

    // Serves what waits and ends the threads: the connections end on their
    // own once the service stops.
    void Finish() {
        {
            const std::lock_guard lock(mutex_);
            finishing_ = true;
        }
        ready_.notify_all();
        threads_.clear();  // joins
        finishing_ = false;
    }

private:
    struct Waiting {
        GuardedServer::Connection connection;
        Clock::time_point since;
    };

    void Start() {
        ++idle_;  // until it takes a connection
        threads_.emplace_back([this] { Work(); });
    }

    void StartForStalled() {
        const auto stalledSince = Clock::now() - kStall;
        const auto stalled = static_cast<std::size_t>(std::count_if(
            waiting_.begin(), waiting_.end(), [&](const Waiting& waiting) { return waiting.since <= stalledSince; }));
        while (idle_ < stalled && threads_.size() < limit_) Start();
    }

    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ready_.wait(lock, [this] { return finishing_ || !waiting_.empty(); });
            if (waiting_.empty()) return;
            --idle_;
            {
                auto connection = std::move(waiting_.front().connection);
                waiting_.pop_front();
                lock.unlock();
                serve_(connection);
            }
            lock.lock();
            ++idle_;
        }
    }

    const std::size_t core_;
    const std::size_t limit_;
    const Serve serve_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Waiting> waiting_;
    std::size_t idle_ = 0;  // threads not serving a connection
    bool finishing_ = false;
    std::vector<std::jthread> threads_;
};

// httplib's accept loop hands each accepted socket to its task queue; run at
// once, on the accept thread, the task admits or refuses the connection there.
class OnAcceptThread final : public httplib::TaskQueue {
public:
    explicit OnAcceptThread(ConnectionThreads& threads) : threads_(threads) {}
    void enqueue(std::function<void()> task) override { task(); }
    void on_idle() override { threads_.ServeStalled(); }
    void shutdown() override { threads_.Finish(); }

private:
    ConnectionThreads& threads_;
};

}  // namespace

struct GuardedServer::Connections {
    Connections(const ConnectionLimits& limits, ConnectionThreads::Serve serve)
        : admission(limits), threads(kCoreThreads, limits.total, std::move(serve)) {}
    Admission admission;
    ConnectionThreads threads;
};

GuardedServer::GuardedServer(const ConnectionLimits& limits, std::function<void(const Exchange&)> log)
    : limits_(limits),
      log_(std::move(log)),
      connections_(std::make_unique<Connections>(limits_, [this](Connection& connection) { Serve(connection); })) {
    // httplib takes ownership of the queue it is handed.
    new_task_queue = [this] { return std::make_unique<OnAcceptThread>(connections_->threads).release(); };
    set_keep_alive_max_count(limits_.requestsPerConnection);
    set_keep_alive_timeout(std::chrono::ceil<std::chrono::seconds>(limits_.requestTime).count());
    set_payload_max_length(limits_.requestBytes);
    set_idle_interval(kStall);
}

GuardedServer::~GuardedServer() = default;

void GuardedServer::LengthenListenQueue() { ::listen(svr_sock_, SOMAXCONN); }

bool GuardedServer::process_and_close_socket(socket_t socket) {
    ClientSocket accepted(socket);
    auto peer = Endpoint(socket, End::Peer);
    auto place = connections_->admission.Admit(peer.first, socket);
    if (!place) {
        Refuse(socket, peer.first);
        return false;
    }
    connections_->threads.Run(Connection{std::move(accepted), std::move(peer), std::move(place)});
    return true;
}

// Sent at once, before the request is read: a new socket's send buffer takes it whole.
void GuardedServer::Refuse(socket_t socket, const std::string& client) const {
    const auto [head, body] = PlainAnswerFor("503 Service Unavailable", "Too many connections: try again shortly.\n");
    const auto answer = head + std::string(body);
    const bool whole = SendSome(socket, answer.data(), answer.size()) == static_cast<std::ptrdiff_t>(answer.size());
    log_({client, "", 503, whole ? body.size() : 0});
}

void GuardedServer::Serve(Connection& connection) {
    ConnectionStream stream(connection.socket.Get(), connection.peer, limits_,
                            [this] { return svr_sock_ == INVALID_SOCKET; });
    auto& place = *connection.place;  // offered from the admission to the first byte
    for (auto left = keep_alive_max_count_; left > 0; --left) {
        stream.BeginRequest();
        if (!stream.AwaitRequest([&place] { return !place.TakenOver(); }) || !place.Resume()) return;
        const auto head = stream.ReceiveHead();
        if (head == Head::Missing) return;  // it did not come whole in time, or the service stops
        bool clientCloses = false;
        const bool goesOn =
            head == Head::Whole ? process_request(stream, left == 1, clientCloses, nullptr) : RefuseHead(stream, head);
        if (stream.CurrentExchange().status != 0) log_(stream.CurrentExchange());
        if (!goesOn || clientCloses || stream.Broken()) return;
        place.Idle();
    }
}

}  // namespace kavrel::rates
