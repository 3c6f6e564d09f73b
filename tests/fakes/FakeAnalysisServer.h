// A stand-in for the analysis server: it listens on a loopback port, records
// what each connection sends and answers as its scenario says.
#pragma once

#include "analysis/AnalysisServer.h"
#include "foundation/Portable.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using FieldList = std::vector<std::pair<std::string, std::string>>;

// One field, KEY;LEN;VALUE.
std::string Field(const std::string& key, const std::string& value);
// The value of the first field `wanted` in a request's bytes, or empty.
std::string FieldValue(const std::string& request, const std::string& wanted);
// A reply frame holding `fields` in the order given, under `key`.
std::string ReportFrame(const FieldList& fields, const std::string& key = KEY_REPORT);

// What the server does with one connection, in this order: read the request
// (unless it closes at once), wait, send the reply in pieces, then close or
// hold the connection until the client closes it.
struct FakeScenario {
    // Close right after accepting, reading nothing.
    bool closeAtOnce = false;
    int delayMs = 0;
    // Sent as it stands: a frame, a truncated one, or nothing at all.
    std::string reply;
    // When set, makes the reply from the request's bytes in place of `reply`:
    // a server whose answer depends on what it was sent, such as an echo.
    std::function<std::string(const std::string& request)> replyFor;
    // Sizes of the first sends of the reply; the rest goes in one more send.
    std::vector<size_t> pieces;
    int pieceDelayMs = 0;
    // Keep the connection open after the reply until the client closes it.
    bool holdOpen = false;
    // Runs on the server's thread once the first bytes of the request are in,
    // before the rest is read: a test changes the client's world mid-request.
    std::function<void()> onFirstBytes;
    // Hang up once `onFirstBytes` has run, reading no more: the client may
    // have been ended from outside, its connection not yet closed.
    bool closeAfterFirstBytes = false;
};

// Reads a scenario from text, one directive per line; blank lines and lines
// that begin with "//" are ignored. VALUE is the rest of the line, in which
// \r, \n, \t and \\ stand for CR, LF, TAB and a backslash.
//   field KEY VALUE   a field of the reply frame (repeat for more, any order)
//   key KEY           the reply frame's key instead of "#@REPORT@#"
//   truncate N        send only the first N bytes of the reply
//   pieces N N ...    send the reply in pieces of these sizes, then the rest
//   piecedelay MS     pause between the pieces
//   delay MS          pause between the request and the reply
//   noreply           send nothing
//   hold              keep the connection open until the client closes it
//   closeearly        close right after accepting, reading nothing
//   demo              answer as the demo does (DemoReply.h)
bool ParseScenario(const std::string& text, FakeScenario* scenario);

// What one connection sent.
struct FakeRequest {
    // Every byte received, unless the server was told not to keep them.
    std::string bytes;
    uint64_t byteCount = 0;
    // The keys of the request's fields in order.
    std::vector<std::string> keys;
    // The request ended with its last field (a command token, or the single
    // field of a transfer test) rather than a close or a malformed field.
    bool complete = false;
};

class FakeAnalysisServer {
public:
    // `keepBytes` false counts the bytes of a request without holding them.
    explicit FakeAnalysisServer(bool keepBytes = true);
    ~FakeAnalysisServer();
    FakeAnalysisServer(const FakeAnalysisServer&) = delete;
    FakeAnalysisServer& operator=(const FakeAnalysisServer&) = delete;

    // Listens on 127.0.0.1:`port` (0: a free port) and serves connections one
    // after another on a thread of its own.
    bool Start(unsigned short port);
    unsigned short Port() const { return port; }

    // Connections take the scenarios in the order added; the last one stays
    // for every later connection.
    void AddScenario(const FakeScenario& scenario);
    // Drops the scenarios not yet taken: every later connection gets this one.
    void SetScenario(const FakeScenario& scenario);
    std::vector<FakeRequest> Requests() const;
    // Without copying the whole record, which grows with every connection.
    size_t RequestCount() const;
    FakeRequest LastRequest() const;

private:
    void Serve();
    void ServeConnection(SOCKET connection);
    // Reads one request; its bytes go to `received` when that is given.
    bool ReadRequest(SOCKET connection, size_t index, const FakeScenario& scenario, std::string* received);
    FakeScenario NextScenario();
    // Sends all of `bytes` unless the client goes or the server is stopped:
    // a client that stops reading never holds the server's thread.
    void SendReply(SOCKET connection, const std::string& bytes) const;
    bool Pause(int milliseconds) const;

    const bool keepBytes;
    SOCKET listener = INVALID_SOCKET;
    unsigned short port = 0;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex;
    std::deque<FakeScenario> scenarios;
    std::vector<FakeRequest> requests;
    std::thread thread;
};

// Two ends of one loopback TCP connection, for tests that drive a socket by hand.
struct LoopbackPair {
    SOCKET client = INVALID_SOCKET;
    SOCKET server = INVALID_SOCKET;

    LoopbackPair();
    ~LoopbackPair();
    LoopbackPair(const LoopbackPair&) = delete;
    LoopbackPair& operator=(const LoopbackPair&) = delete;
    bool Ok() const { return client != INVALID_SOCKET && server != INVALID_SOCKET; }
};

// A loopback port whose listener takes no connection and whose backlog is
// full: a new connection is neither taken nor refused, as with a host that
// does not answer.
class SilentListener {
public:
    SilentListener() = default;
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    bool Start();
    // Closes the listener and the queued connections: a connection still
    // waiting is refused from then on.
    void Stop();
    unsigned short Port() const { return port; }

private:
    SOCKET listener = INVALID_SOCKET;
    std::vector<SOCKET> queued;
    unsigned short port = 0;
};
