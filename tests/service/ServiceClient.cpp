#include "ServiceClient.h"

#include "analysis/SocketIo.h"
#include "service/ServiceProtocol.h"

#include <chrono>
#include <thread>

namespace {

OwnedSocket ConnectToService()
{
    OwnedSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(SERVICE_PORT);
    inet_pton(AF_INET, SERVICE_ADDRESS, &address.sin_addr);
    if (s.Get() == INVALID_SOCKET ||
        connect(s.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return OwnedSocket();
    }
    return s;
}

bool SendWhole(SOCKET s, const std::string& bytes)
{
    for (size_t sent = 0; sent < bytes.size();) {
        const int result = SendSome(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
        if (result <= 0) {
            return false;
        }
        sent += static_cast<size_t>(result);
    }
    return true;
}

// Reads until the peer closes (true) or the deadline passes (false).
bool ReadUntilClosed(SOCKET s, int boundMs, std::string* bytes)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    char buffer[4096];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0 || !WaitReadable(s, static_cast<int>(left))) {
            return false;
        }
        const int got = ReceiveSome(s, buffer, sizeof buffer);
        if (got <= 0) {
            return true;
        }
        if (bytes != nullptr) {
            bytes->append(buffer, static_cast<size_t>(got));
        }
    }
}

} // namespace

std::string RequestFrame(const std::string& payload)
{
    return std::string(KEY_REQUEST_FRAME) + ";" + std::to_string(payload.size()) + ";" + payload;
}

std::string NewRequest(const std::string& command, const std::string& path)
{
    return RequestFrame(command + ";" + std::to_string(path.size()) + ";" + path);
}

ServiceAnswer AskService(const std::string& request, int boundMs)
{
    ServiceAnswer answer;
    OwnedSocket s = ConnectToService();
    answer.connected = s.Get() != INVALID_SOCKET;
    if (answer.connected && (request.empty() || SendWhole(s.Get(), request))) {
        answer.closed = ReadUntilClosed(s.Get(), boundMs, &answer.bytes);
    }
    return answer;
}

ServiceAnswer AskServiceInPieces(const std::string& request, const std::vector<size_t>& cuts, int pauseMs, int boundMs)
{
    ServiceAnswer answer;
    OwnedSocket s = ConnectToService();
    answer.connected = s.Get() != INVALID_SOCKET;
    if (!answer.connected) {
        return answer;
    }
    const BOOL noDelay = TRUE;
    setsockopt(s.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    size_t at = 0;
    for (size_t i = 0; i <= cuts.size(); ++i) {
        const size_t end = i < cuts.size() ? cuts[i] : request.size();
        if (i > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
        if (!SendWhole(s.Get(), request.substr(at, end - at))) {
            return answer;
        }
        at = end;
    }
    answer.closed = ReadUntilClosed(s.Get(), boundMs, &answer.bytes);
    return answer;
}

HeldConnection::HeldConnection(const std::string& sendFirst) : socket(ConnectToService())
{
    if (Connected() && !sendFirst.empty()) {
        SendWhole(socket.Get(), sendFirst);
    }
}

bool HeldConnection::Send(const std::string& bytes)
{
    return Connected() && SendWhole(socket.Get(), bytes);
}

bool HeldConnection::ClosedByService(int boundMs, std::string* received)
{
    return Connected() && ReadUntilClosed(socket.Get(), boundMs, received);
}

std::vector<OwnedSocket> FillServiceQueue(int boundMs)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(SERVICE_PORT);
    inet_pton(AF_INET, SERVICE_ADDRESS, &address.sin_addr);
    std::vector<OwnedSocket> queued;
    for (;;) {
        OwnedSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        u_long nonBlocking = 1;
        if (s.Get() == INVALID_SOCKET || ioctlsocket(s.Get(), FIONBIO, &nonBlocking) != 0) {
            return queued;
        }
        if (connect(s.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
            WSAGetLastError() != WSAEWOULDBLOCK) {
            return queued;
        }
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(s.Get(), &writable);
        timeval limit{boundMs / 1000, (boundMs % 1000) * 1000};
        int error = 0;
        int size = sizeof error;
        if (select(0, nullptr, &writable, nullptr, &limit) != 1 ||
            getsockopt(s.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 || error != 0) {
            return queued;
        }
        queued.push_back(std::move(s));
    }
}

namespace {

bool WaitForPortState(bool listening, int boundMs)
{
    // Looked at once at least, so that a bound of 0 asks how the port is now.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    do {
        if ((ConnectToService().Get() != INVALID_SOCKET) == listening) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

} // namespace

bool WaitForServicePort(int boundMs)
{
    return WaitForPortState(true, boundMs);
}

bool WaitForServicePortClosed(int boundMs)
{
    return WaitForPortState(false, boundMs);
}
