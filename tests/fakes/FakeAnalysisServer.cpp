#include "FakeAnalysisServer.h"

#include "DemoReply.h"

#include "analysis/SocketShim.h"
#include "analysis/TextField.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// The fields that end a request: the command tokens and the single fields of
// the transfer tests.
bool IsLastField(const std::string& key)
{
    return key == KEY_NEWPANO || key == KEY_SNEWPANO || key == KEY_UPDPANO || key == KEY_DATAREFLECT ||
           key == KEY_TESTMSG;
}

// Follows the fields of a request as its bytes arrive, without holding the
// values, so that a large upload costs no memory.
class FieldFollower {
public:
    enum class State { More, Complete, Malformed };

    State Feed(const char* data, size_t len, std::vector<std::string>* keys)
    {
        while (len > 0) {
            if (valueLeft > 0) {
                const size_t take = len < valueLeft ? len : static_cast<size_t>(valueLeft);
                valueLeft -= take;
                data += take;
                len -= take;
            } else {
                header.push_back(*data++);
                --len;
                if (!TakeHeader(keys)) {
                    return State::Malformed;
                }
            }
            if (valueLeft == 0 && header.empty() && lastField) {
                return State::Complete;
            }
        }
        return State::More;
    }

private:
    // False when the header cannot be one.
    bool TakeHeader(std::vector<std::string>* keys)
    {
        std::string key;
        int valueLen = 0;
        int headerLen = 0;
        if (!ParseFieldHeader(header.data(), static_cast<int>(header.size()), &key, &valueLen, &headerLen)) {
            return header.size() < static_cast<size_t>(MAX_FIELD_HEADER) && header.find('\0') == std::string::npos;
        }
        if (valueLen < 0) {
            return false;
        }
        keys->push_back(key);
        lastField = IsLastField(key);
        valueLeft = static_cast<uint64_t>(valueLen);
        header.clear();
        return true;
    }

    std::string header;
    uint64_t valueLeft = 0;
    bool lastField = false;
};

// How long one send may wait for a client that does not read before the
// server looks whether it is being stopped.
constexpr int SEND_SLICE_MS = 100;

bool SendTimedOut()
{
#ifdef _WIN32
    return WSAGetLastError() == WSAETIMEDOUT;
#else
    return errno == EAGAIN || errno == EWOULDBLOCK;
#endif
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
    }
    return out;
}

SOCKET ListenOnLoopback(unsigned short port, unsigned short* boundPort, int backlog = 16)
{
    OwnedSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (listener.Get() == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    const int reuse = 1;
    setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    SockLen size = sizeof address;
    if (bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener.Get(), backlog) != 0 ||
        getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return INVALID_SOCKET;
    }
    *boundPort = ntohs(address.sin_port);
    return std::exchange(*listener.Ptr(), INVALID_SOCKET);
}

// A listener's accept queue as the kernel counts it. Whether a connection
// waits there or is dropped for want of room cannot be told from the
// connecting side by its time alone: a loaded machine makes a loopback
// connect slow too.
struct AcceptQueue {
    unsigned long length = 0;
    unsigned long limit = 0;
    // The kernel drops a new connection once the queue holds more than its
    // limit.
    bool Full() const { return length > limit; }
};

// The accept queue of the listener on 127.0.0.1:`port`, from the kernel's
// table of TCP sockets (Wine hands the Unix file system through as Z:);
// false when no such listener is listed. A listener's line gives the limit
// and the length where a connection's gives its send and receive queues.
bool ReadAcceptQueue(unsigned short port, AcceptQueue* queue)
{
#ifdef _WIN32
    std::ifstream table("Z:\\proc\\net\\tcp");
#else
    std::ifstream table("/proc/net/tcp");
#endif
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", static_cast<unsigned>(port));
    const std::string listening = "0A";
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot;
        std::string local;
        std::string remote;
        std::string state;
        std::string queues;
        if (!(fields >> slot >> local >> remote >> state >> queues) || local != wanted || state != listening) {
            continue;
        }
        const size_t colon = queues.find(':');
        if (colon == std::string::npos) {
            return false;
        }
        queue->limit = std::strtoul(queues.substr(0, colon).c_str(), nullptr, 16);
        queue->length = std::strtoul(queues.substr(colon + 1).c_str(), nullptr, 16);
        return true;
    }
    return false;
}

// Waits until the kernel has queued the `connected` connections made so far.
bool WaitForAcceptQueue(unsigned short port, size_t connected, AcceptQueue* queue)
{
    constexpr auto bound = std::chrono::seconds(20);
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!ReadAcceptQueue(port, queue) || queue->length < connected) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

sockaddr_in LoopbackAddress(unsigned short port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

std::string FieldValue(const std::string& request, const std::string& wanted)
{
    size_t at = 0;
    while (at < request.size()) {
        const size_t rest = request.size() - at;
        TextField field;
        if (!ReadField(request.data() + at, rest > INT_MAX ? INT_MAX : static_cast<int>(rest), &field)) {
            return {};
        }
        if (field.key == wanted) {
            return std::string(field.value, static_cast<size_t>(field.valueLen));
        }
        at += static_cast<size_t>(field.size);
    }
    return {};
}

std::string Field(const std::string& key, const std::string& value)
{
    return key + ";" + std::to_string(value.size()) + ";" + value;
}

std::string ReportFrame(const FieldList& fields, const std::string& key)
{
    std::string value;
    for (const auto& field : fields) {
        value += Field(field.first, field.second);
    }
    return Field(key, value);
}

bool ParseScenario(const std::string& text, FakeScenario* scenario)
{
    FakeScenario result;
    FieldList fields;
    std::string key = KEY_REPORT;
    long truncate = -1;
    bool reply = true;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::istringstream words(line);
        std::string directive;
        if (!(words >> directive) || directive.compare(0, 2, "//") == 0) {
            continue;
        }
        if (directive == "field") {
            std::string fieldKey;
            if (!(words >> fieldKey)) {
                return false;
            }
            std::string value;
            if (words.get() == ' ') {
                std::getline(words, value);
            }
            fields.emplace_back(fieldKey, Unescape(value));
        } else if (directive == "key") {
            if (!(words >> key)) {
                return false;
            }
        } else if (directive == "truncate") {
            if (!(words >> truncate) || truncate < 0) {
                return false;
            }
        } else if (directive == "pieces") {
            size_t piece = 0;
            while (words >> piece) {
                result.pieces.push_back(piece);
            }
        } else if (directive == "piecedelay") {
            if (!(words >> result.pieceDelayMs)) {
                return false;
            }
        } else if (directive == "delay") {
            if (!(words >> result.delayMs)) {
                return false;
            }
        } else if (directive == "noreply") {
            reply = false;
        } else if (directive == "hold") {
            result.holdOpen = true;
        } else if (directive == "closeearly") {
            result.closeAtOnce = true;
        } else if (directive == "demo") {
            result.replyFor = DemoReply;
        } else {
            return false;
        }
    }
    if (reply) {
        result.reply = ReportFrame(fields, key);
        if (truncate >= 0 && static_cast<size_t>(truncate) < result.reply.size()) {
            result.reply.resize(static_cast<size_t>(truncate));
        }
    }
    *scenario = result;
    return true;
}

FakeAnalysisServer::FakeAnalysisServer(bool keepBytes) : keepBytes(keepBytes) {}

FakeAnalysisServer::~FakeAnalysisServer()
{
    stopping = true;
    if (thread.joinable()) {
        thread.join();
    }
    if (listener != INVALID_SOCKET) {
        closesocket(listener);
    }
}

bool FakeAnalysisServer::Start(unsigned short wantedPort)
{
    listener = ListenOnLoopback(wantedPort, &port);
    if (listener == INVALID_SOCKET) {
        return false;
    }
    thread = std::thread([this] { Serve(); });
    return true;
}

void FakeAnalysisServer::AddScenario(const FakeScenario& scenario)
{
    const std::lock_guard<std::mutex> lock(mutex);
    scenarios.push_back(scenario);
}

void FakeAnalysisServer::SetScenario(const FakeScenario& scenario)
{
    const std::lock_guard<std::mutex> lock(mutex);
    scenarios.assign(1, scenario);
}

std::vector<FakeRequest> FakeAnalysisServer::Requests() const
{
    const std::lock_guard<std::mutex> lock(mutex);
    return requests;
}

size_t FakeAnalysisServer::RequestCount() const
{
    const std::lock_guard<std::mutex> lock(mutex);
    return requests.size();
}

FakeRequest FakeAnalysisServer::LastRequest() const
{
    const std::lock_guard<std::mutex> lock(mutex);
    return requests.empty() ? FakeRequest{} : requests.back();
}

FakeScenario FakeAnalysisServer::NextScenario()
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (scenarios.empty()) {
        return {};
    }
    FakeScenario next = scenarios.front();
    if (scenarios.size() > 1) {
        scenarios.pop_front();
    }
    return next;
}

void FakeAnalysisServer::SendReply(SOCKET connection, const std::string& bytes) const
{
    for (size_t sent = 0; sent < bytes.size() && !stopping;) {
        const int result = SendSome(connection, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
        if (result > 0) {
            sent += static_cast<size_t>(result);
        } else if (!SendTimedOut()) {
            return;
        }
    }
}

bool FakeAnalysisServer::Pause(int milliseconds) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!stopping && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !stopping;
}

void FakeAnalysisServer::Serve()
{
    while (!stopping) {
        if (!WaitReadable(listener, 50)) {
            continue;
        }
        OwnedSocket connection(accept(listener, nullptr, nullptr));
        if (connection.Get() != INVALID_SOCKET) {
            SetSendTimeout(connection.Get(), SEND_SLICE_MS);
            ServeConnection(connection.Get());
        }
    }
}

void FakeAnalysisServer::ServeConnection(SOCKET connection)
{
    size_t index = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        index = requests.size();
        requests.emplace_back();
    }
    FakeScenario scenario = NextScenario();
    std::string received;
    if (scenario.closeAtOnce || !ReadRequest(connection, index, scenario, scenario.replyFor ? &received : nullptr) ||
        !Pause(scenario.delayMs)) {
        return;
    }
    if (scenario.replyFor) {
        scenario.reply = scenario.replyFor(received);
    }
    const std::string& reply = scenario.reply;
    size_t sent = 0;
    for (size_t piece : scenario.pieces) {
        if (sent >= reply.size()) {
            break;
        }
        SendReply(connection, reply.substr(sent, piece));
        sent += piece;
        if (!Pause(scenario.pieceDelayMs)) {
            return;
        }
    }
    if (sent < reply.size()) {
        SendReply(connection, reply.substr(sent));
    }
    if (scenario.holdOpen) {
        char sink[256];
        while (!stopping) {
            if (WaitReadable(connection, 50) && ReceiveSome(connection, sink, sizeof sink) <= 0) {
                return;
            }
        }
    }
}

bool FakeAnalysisServer::ReadRequest(SOCKET connection, size_t index, const FakeScenario& scenario,
                                     std::string* received)
{
    FieldFollower follower;
    std::vector<char> buffer(64 * 1024);
    bool first = true;
    while (!stopping) {
        if (!WaitReadable(connection, 50)) {
            continue;
        }
        const int count = ReceiveSome(connection, buffer.data(), static_cast<int>(buffer.size()));
        if (count <= 0) {
            return true;
        }
        if (first && scenario.onFirstBytes) {
            scenario.onFirstBytes();
            if (scenario.closeAfterFirstBytes) {
                return false;
            }
        }
        first = false;
        const std::lock_guard<std::mutex> lock(mutex);
        FakeRequest& request = requests[index];
        request.byteCount += static_cast<uint64_t>(count);
        if (keepBytes) {
            request.bytes.append(buffer.data(), static_cast<size_t>(count));
        }
        if (received != nullptr) {
            received->append(buffer.data(), static_cast<size_t>(count));
        }
        const auto state = follower.Feed(buffer.data(), static_cast<size_t>(count), &request.keys);
        if (state != FieldFollower::State::More) {
            request.complete = state == FieldFollower::State::Complete;
            return true;
        }
    }
    return false;
}

LoopbackPair::LoopbackPair()
{
    unsigned short port = 0;
    OwnedSocket listener(ListenOnLoopback(0, &port));
    if (listener.Get() == INVALID_SOCKET) {
        return;
    }
    OwnedSocket connecting(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(connecting.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return;
    }
    server = accept(listener.Get(), nullptr, nullptr);
    client = std::exchange(*connecting.Ptr(), INVALID_SOCKET);
}

LoopbackPair::~LoopbackPair()
{
    for (SOCKET s : {client, server}) {
        if (s != INVALID_SOCKET) {
            closesocket(s);
        }
    }
}

SilentListener::~SilentListener()
{
    Stop();
}

bool SilentListener::Start()
{
    // A connection the queue has room for is made at once; only a machine
    // under load makes it wait, never up to this bound.
    constexpr int queuedWithinMs = 20000;
    constexpr int mostQueued = 64;
    listener = ListenOnLoopback(0, &port, 0);
    if (listener == INVALID_SOCKET) {
        return false;
    }
    const sockaddr_in address = LoopbackAddress(port);
    while (static_cast<int>(queued.size()) < mostQueued) {
        AcceptQueue queue;
        if (!WaitForAcceptQueue(port, queued.size(), &queue)) {
            return false;
        }
        if (queue.Full()) {
            return true;
        }
        OwnedSocket connection(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        if (connection.Get() == INVALID_SOCKET || !ConnectWithin(connection.Get(), address, queuedWithinMs)) {
            return false;
        }
        queued.push_back(std::exchange(*connection.Ptr(), INVALID_SOCKET));
    }
    return false;
}

void SilentListener::Stop()
{
    for (SOCKET s : queued) {
        closesocket(s);
    }
    queued.clear();
    if (listener != INVALID_SOCKET) {
        closesocket(listener);
        listener = INVALID_SOCKET;
    }
}
