// A test's side of the loopback protocol: request frames, and clients of
// the service on 127.0.0.1:5556 that behave well or badly.
#pragma once

#include "analysis/SocketShim.h"

#include <string>
#include <vector>

// "PTL1;<len>;" + payload.
std::string RequestFrame(const std::string& payload);
std::string NewRequest(const std::string& command, const std::string& path);

struct ServiceAnswer {
    bool connected = false;
    // The service closed the connection (after its reply, or without one)
    // within the bound.
    bool closed = false;
    std::string bytes;
};

// Connects, sends `request` and reads until the service closes the
// connection or `boundMs` runs out.
ServiceAnswer AskService(const std::string& request, int boundMs = 20000);

// As AskService, but the request goes in pieces that end at `cuts` (byte
// offsets), with `pauseMs` before each piece after the first; each piece
// leaves at once, not held back to join the next.
ServiceAnswer AskServiceInPieces(const std::string& request, const std::vector<size_t>& cuts, int pauseMs,
                                 int boundMs = 20000);

// A connection to the service that sends what it is given and then holds
// the connection open, silent, until it is closed or goes.
class HeldConnection {
public:
    explicit HeldConnection(const std::string& sendFirst = std::string());
    bool Connected() const { return socket.Get() != INVALID_SOCKET; }
    void Close() { socket = OwnedSocket(); }
    // Sends the request the connection held back so far.
    bool Send(const std::string& bytes);
    // True when the service closed its end within `boundMs`; what it sent
    // before goes to `received` when that is given.
    bool ClosedByService(int boundMs, std::string* received = nullptr);

private:
    OwnedSocket socket;
};

// Connections that fill the service's queue of connections not yet taken:
// opened until one is not let in within `boundMs`, which is then given up.
std::vector<OwnedSocket> FillServiceQueue(int boundMs);

// True once something accepts connections on the service port, within `boundMs`.
bool WaitForServicePort(int boundMs);

// True once nothing accepts connections on the service port, within `boundMs`.
bool WaitForServicePortClosed(int boundMs);
