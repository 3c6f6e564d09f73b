#include "analysis/SocketIo.h"

#include "FakeAnalysisServer.h"
#include "analysis/SocketShim.h"
#include "analysis/TextField.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/ioctl.h>
#endif

#include <algorithm>
#include <iterator>
#include <memory>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

const char KEY[] = "#@REPORT@#";
constexpr int BOUND = 1024 * 1024;
constexpr int SHORT_WAIT_MS = 300;

void Send(SOCKET s, const std::string& bytes)
{
    int sent = 0;
    ASSERT_TRUE(SendAll(&s, bytes.data(), static_cast<int>(bytes.size()), &sent));
}

// Waits until `receiver` has taken every byte sent to it so far; false when
// it took none for 5 s.
bool WaitTaken(SOCKET receiver)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < giveUp) {
#ifdef _WIN32
        u_long pending = 0;
        ioctlsocket(receiver, FIONREAD, &pending);
#else
        int pending = 0;
        ioctl(receiver, FIONREAD, &pending);
#endif
        if (pending == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Sends `first` now and `later` once the receiver's first receive has taken
// `first` alone.
std::thread SendInTwo(const LoopbackPair& pair, const std::string& first, const std::string& later)
{
    Send(pair.server, first);
    return std::thread([&pair, later] {
        WaitTaken(pair.client);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Send(pair.server, later);
    });
}

struct Received {
    bool ok = false;
    TextFrame frame;

    std::string Value(const char* buf) const { return std::string(frame.Value(buf), frame.len); }
};

Received Receive(LoopbackPair& pair, char* buf, int bufSize, int waitMs = WAIT_FOREVER)
{
    Received r;
    r.ok = RecvFrame(&pair.client, buf, bufSize, KEY, &r.frame.data, &r.frame.len, &r.frame.offset, BOUND, waitMs);
    return r;
}

TEST(RecvFrame, HandsOutAValueOfTheFirstReceiveInPlace)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok());
    Send(pair.server, "#@REPORT@#;5;abcdeXYZ");
    std::vector<char> buf(FRAME_BUFFER_SIZE);
    const Received r = Receive(pair, buf.data(), FRAME_BUFFER_SIZE);
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.frame.data);
    EXPECT_EQ(r.frame.offset, 13);
    EXPECT_EQ(r.Value(buf.data()), "abcde");
}

TEST(RecvFrame, UsesABufferOfItsOwnWhenGivenNone)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok());
    Send(pair.server, "PTL1;3;abc");
    std::shared_ptr<char[]> data;
    int len = 0;
    int offset = 0;
    ASSERT_TRUE(RecvFrame(&pair.client, nullptr, 0, "PTL1", &data, &len, &offset, BOUND, WAIT_FOREVER));
    ASSERT_TRUE(data);
    EXPECT_EQ(offset, 7);
    EXPECT_EQ(std::string(data.get() + offset, len), "abc");
}

TEST(RecvFrame, ReadsTheRestOfALongerValueIntoOneExactBuffer)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok());
    std::vector<char> buf(FRAME_BUFFER_SIZE);
    // What follows the frame is not the frame's: each later receive takes
    // only the bytes still missing, and the rest stays in the socket.
    std::thread later = SendInTwo(pair, "#@REPORT@#;5;ab", "cdeXYZ");
    const Received r = Receive(pair, buf.data(), FRAME_BUFFER_SIZE);
    later.join();
    ASSERT_TRUE(r.ok);
    ASSERT_TRUE(r.frame.data);
    EXPECT_EQ(r.frame.offset, 0);
    EXPECT_EQ(r.Value(buf.data()), "abcde");
    char after[16];
    const int left = WaitReadable(pair.client, 5000) ? ReceiveSome(pair.client, after, sizeof after) : 0;
    EXPECT_EQ(std::string(after, left > 0 ? left : 0), "XYZ");

    // Pieces of at most bufSize bytes: a small buffer still gathers a long value.
    const std::string value(100000, 'v');
    std::thread sender([&] { Send(pair.server, Field(KEY, value)); });
    char small[32];
    const Received big = Receive(pair, small, sizeof small);
    sender.join();
    ASSERT_TRUE(big.ok);
    EXPECT_EQ(big.Value(small), value);
}

// Sends `frame` in the pieces that `cuts` mark (byte offsets), each one only
// once the receiver has taken the one before, and pauses `pauseMs` before
// each later piece.
std::thread SendInPieces(const LoopbackPair& pair, const std::string& frame, const std::vector<size_t>& cuts,
                         int pauseMs)
{
    return std::thread([&pair, frame, cuts, pauseMs] {
        size_t at = 0;
        for (size_t i = 0; i <= cuts.size(); ++i) {
            const size_t end = i < cuts.size() ? cuts[i] : frame.size();
            if (i > 0) {
                if (!WaitTaken(pair.client)) {
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            }
            Send(pair.server, frame.substr(at, end - at));
            at = end;
        }
    });
}

TEST(RecvFrame, GathersAHeaderThatArrivesInPieces)
{
    const std::string frame = "#@REPORT@#;5;abcde";
    std::vector<size_t> everyByte;
    for (size_t i = 1; i < frame.size(); ++i) {
        everyByte.push_back(i);
    }
    struct Case {
        const char* what;
        std::vector<size_t> cuts;
        int pauseMs;
    };
    const Case cases[] = {
        {"one byte per send", everyByte, 1},
        {"cut after 3 bytes", {3}, 400},
        {"cut after 5 bytes", {5}, 400},
        {"cut after 7 bytes", {7}, 400},
        {"cut inside LEN and again before the value", {12, 13}, 400},
    };
    // The pauses run side by side; each frame still comes within the bound.
    std::vector<std::unique_ptr<LoopbackPair>> pairs;
    std::vector<std::thread> senders;
    std::vector<std::thread> receivers;
    std::vector<Received> ownBuffer(std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        pairs.push_back(std::make_unique<LoopbackPair>());
        ASSERT_TRUE(pairs.back()->Ok());
        senders.push_back(SendInPieces(*pairs.back(), frame, cases[i].cuts, cases[i].pauseMs));
        receivers.emplace_back([&, i] {
            LoopbackPair& pair = *pairs[i];
            Received& r = ownBuffer[i];
            r.ok = RecvFrame(&pair.client, nullptr, 0, KEY, &r.frame.data, &r.frame.len, &r.frame.offset, BOUND, 5000);
        });
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        receivers[i].join();
        senders[i].join();
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Received& r = ownBuffer[i];
        EXPECT_TRUE(r.ok && r.frame.data && r.Value(nullptr) == "abcde") << cases[i].what;
    }

    // The caller's buffer gathers a header in pieces as well.
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok());
    std::thread sender = SendInPieces(pair, frame + "XYZ", {3, 11}, 50);
    std::vector<char> buf(FRAME_BUFFER_SIZE);
    const Received r = Receive(pair, buf.data(), FRAME_BUFFER_SIZE, 5000);
    sender.join();
    EXPECT_TRUE(r.ok && r.Value(buf.data()) == "abcde");
}

TEST(RecvFrame, RefusesAHeaderThatCanNeverEndWithoutWaitingForTheBound)
{
    struct Case {
        const char* what;
        std::string sent;
    };
    const Case cases[] = {
        {"no second separator within 49 bytes", "#@REPORT@#;" + std::string(38, '1')},
        {"a key of 49 bytes", std::string(49, 'K')},
        {"a NUL inside the header", std::string("#@REPORT@#;\0", 12)},
    };
    for (const Case& c : cases) {
        LoopbackPair pair;
        ASSERT_TRUE(pair.Ok());
        std::thread sender = SendInPieces(pair, c.sent, {4}, 20);
        std::vector<char> buf(FRAME_BUFFER_SIZE);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(Receive(pair, buf.data(), FRAME_BUFFER_SIZE, 5000).ok) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << c.what;
        sender.join();
    }
    // A header of 49 bytes is whole: LEN padded with zeros up to the limit.
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok());
    const std::string longest = "#@REPORT@#;" + std::string(36, '0') + "1;x";
    ASSERT_EQ(longest.size(), 50u);
    std::thread sender = SendInPieces(pair, longest, {20}, 20);
    std::vector<char> buf(FRAME_BUFFER_SIZE);
    const Received r = Receive(pair, buf.data(), FRAME_BUFFER_SIZE, 5000);
    sender.join();
    EXPECT_TRUE(r.ok && r.Value(buf.data()) == "x");
}

TEST(RecvFrame, FailsOnBadFramesAndShortConnections)
{
    struct Case {
        const char* what;
        std::string first;
        std::string later;
    };
    const Case cases[] = {
        {"another key", "#@REPORTX@#;1;x", ""},
        {"negative length", "#@REPORT@#;-1;x", ""},
        {"closed after half of the value", "#@REPORT@#;10;abcde", ""},
        {"length above the bound", "#@REPORT@#;1048577;", ""},
        {"length of many digits", "#@REPORT@#;999999999999999999999;", ""},
        {"closed before anything", "", ""},
    };
    for (const auto& c : cases) {
        LoopbackPair pair;
        ASSERT_TRUE(pair.Ok());
        std::vector<char> buf(FRAME_BUFFER_SIZE);
        std::thread later;
        if (!c.first.empty()) {
            later = SendInTwo(pair, c.first, c.later.empty() ? " " : c.later);
        }
        // The sender's close ends the value early for the cases that wait for more.
        std::thread closer([&] {
            if (later.joinable()) {
                later.join();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            shutdown(pair.server, 1);
        });
        EXPECT_FALSE(Receive(pair, buf.data(), FRAME_BUFFER_SIZE).ok) << c.what;
        closer.join();
    }
}

TEST(RecvFrame, RefusesALengthAboveTheBoundThoughTheWholeValueCame)
{
    constexpr int bound = 64;
    for (const int bufSize : {FRAME_BUFFER_SIZE, 16}) {
        for (const int valueLen : {bound, bound + 1}) {
            LoopbackPair pair;
            ASSERT_TRUE(pair.Ok());
            Send(pair.server, Field(KEY, std::string(static_cast<size_t>(valueLen), 'v')));
            std::vector<char> buf(static_cast<size_t>(bufSize));
            TextFrame frame;
            EXPECT_EQ(RecvFrame(&pair.client, buf.data(), bufSize, KEY, &frame.data, &frame.len, &frame.offset, bound,
                                WAIT_FOREVER),
                      valueLen <= bound)
                << bufSize << " " << valueLen;
        }
    }
}

TEST(RecvFrame, GivesUpOnASilentPeerWhenTheWaitRunsOut)
{
    // Nothing, a value cut short, a header that never ends.
    for (const std::string sent : {"", "#@REPORT@#;10;abc", "#@REPORT@#;12", "#@REP"}) {
        LoopbackPair pair;
        ASSERT_TRUE(pair.Ok());
        if (!sent.empty()) {
            Send(pair.server, sent);
        }
        std::vector<char> buf(FRAME_BUFFER_SIZE);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(Receive(pair, buf.data(), FRAME_BUFFER_SIZE, SHORT_WAIT_MS).ok) << sent;
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, std::chrono::milliseconds(SHORT_WAIT_MS - 20)) << sent;
        EXPECT_LT(waited, std::chrono::seconds(10)) << sent;
    }
}

TEST(SendAll, SpendsAtMostFiveCallsOnAPeerThatTakesLittle)
{
    struct Case {
        const char* what;
        int len;
        // Bytes each call takes; negative: the call fails.
        int taken;
        bool ok;
        int calls;
        int sent;
    };
    const Case cases[] = {
        {"five bytes, one a call", 5, 1, true, 5, 5},
        {"six bytes, one a call", 6, 1, false, 5, 5},
        {"eleven bytes, two a call", 11, 2, false, 5, 10},
        {"nothing taken", 3, 0, false, 5, 0},
        {"a failing call", 3, -1, false, 1, 0},
        {"all at once", 3, 3, true, 1, 3},
    };
    for (const auto& c : cases) {
        const std::string data(static_cast<size_t>(c.len), 'd');
        int calls = 0;
        int sent = -1;
        const auto takeSome = [&](const char*, int left) {
            ++calls;
            return c.taken < 0 ? -1 : std::min(c.taken, left);
        };
        EXPECT_EQ(SendInBoundedCalls(takeSome, data.data(), c.len, &sent), c.ok) << c.what;
        EXPECT_EQ(calls, c.calls) << c.what;
        EXPECT_EQ(sent, c.sent) << c.what;
    }
}

TEST(SendAll, SendsEverythingAndRefusesAnEmptyBuffer)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok());
    int sent = 7;
    EXPECT_FALSE(SendAll(&pair.client, "x", 0, &sent));
    EXPECT_EQ(sent, 0);
    EXPECT_FALSE(SendAll(&pair.client, nullptr, 5, &sent));

    const std::string data(50000, 'd');
    ASSERT_TRUE(SendAll(&pair.client, data.data(), static_cast<int>(data.size()), &sent));
    EXPECT_EQ(sent, static_cast<int>(data.size()));
    // Nothing of the refused calls went out: the peer sees exactly the data.
    shutdown(pair.client, 1);
    std::string received;
    char buf[4096];
    for (int n; (n = ReceiveSome(pair.server, buf, sizeof buf)) > 0;) {
        received.append(buf, static_cast<size_t>(n));
    }
    EXPECT_EQ(received, data);
}

} // namespace
