// The few socket calls whose form differs between Winsock and POSIX, and the
// owner of a socket handle.
#pragma once

#include "foundation/Portable.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#endif

#include <utility>

#ifdef _WIN32
using SockLen = int;
#else
using SockLen = socklen_t;
#endif

// A wait that never runs out.
constexpr int WAIT_FOREVER = -1;

// One send call. A peer that has closed gives an error, never a signal that
// would end the process.
inline int SendSome(SOCKET s, const char* data, int len)
{
#ifdef _WIN32
    return send(s, data, len, 0);
#else
    return static_cast<int>(send(s, data, static_cast<size_t>(len), MSG_NOSIGNAL));
#endif
}

inline int ReceiveSome(SOCKET s, char* buf, int len)
{
#ifdef _WIN32
    return recv(s, buf, len, 0);
#else
    return static_cast<int>(recv(s, buf, static_cast<size_t>(len), 0));
#endif
}

// True when a receive would not block (data, a closed connection or an
// error on the socket), false when `timeoutMs` ran out first or the wait
// itself failed. WAIT_FOREVER waits for ever.
inline bool WaitReadable(SOCKET s, int timeoutMs)
{
#ifdef _WIN32
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, timeoutMs < 0 ? nullptr : &limit) > 0;
#else
    pollfd entry{s, POLLIN, 0};
    return poll(&entry, 1, timeoutMs) > 0;
#endif
}

// Connects `s` to `address`, giving up when `timeoutMs` have passed. The
// connect itself does not block, so a host that never answers holds the
// caller for the wait and not for the system's own connect time-out; the
// socket blocks again afterwards.
inline bool ConnectWithin(SOCKET s, const sockaddr_in& address, int timeoutMs)
{
    const sockaddr* target = reinterpret_cast<const sockaddr*>(&address);
#ifdef _WIN32
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        return false;
    }
    bool connected = connect(s, target, sizeof address) == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        connected = select(0, nullptr, &writable, &failed, &limit) > 0 && FD_ISSET(s, &writable);
    }
    u_long blocking = 0;
    if (ioctlsocket(s, FIONBIO, &blocking) != 0) {
        return false;
    }
#else
    const int flags = fcntl(s, F_GETFL);
    if (flags < 0 || fcntl(s, F_SETFL, flags | O_NONBLOCK) != 0) {
        return false;
    }
    bool connected = connect(s, target, sizeof address) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd entry{s, POLLOUT, 0};
        connected = poll(&entry, 1, timeoutMs) > 0;
    }
    if (fcntl(s, F_SETFL, flags) != 0) {
        return false;
    }
#endif
    // A connect that ended in a refusal also makes the socket writable.
    int error = 0;
    SockLen size = sizeof error;
    return connected && getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0;
}

// Bounds each send call on `s`, so that a peer that stops reading fails the
// send instead of holding the caller.
inline void SetSendTimeout(SOCKET s, int timeoutMs)
{
#ifdef _WIN32
    const DWORD limit = static_cast<DWORD>(timeoutMs);
#else
    const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
#endif
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
}

// Owns one socket and closes it when it goes.
class OwnedSocket {
public:
    OwnedSocket() = default;
    explicit OwnedSocket(SOCKET s) : socket(s) {}
    OwnedSocket(OwnedSocket&& other) noexcept : socket(std::exchange(other.socket, INVALID_SOCKET)) {}
    OwnedSocket& operator=(OwnedSocket&& other) noexcept
    {
        std::swap(socket, other.socket);
        return *this;
    }
    OwnedSocket(const OwnedSocket&) = delete;
    OwnedSocket& operator=(const OwnedSocket&) = delete;
    ~OwnedSocket()
    {
        if (socket != INVALID_SOCKET) {
            closesocket(socket);
        }
    }

    SOCKET Get() const { return socket; }
    // For the calls that create or close the socket through a SOCKET*.
    SOCKET* Ptr() { return &socket; }

private:
    SOCKET socket = INVALID_SOCKET;
};
