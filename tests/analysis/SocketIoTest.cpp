#include "analysis/SocketIo.h"

#include "FakeAnalysisServer.h"
#include "analysis/SocketShim.h"
#include "analysis/TextField.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/ioctl.h>
#endif

#include <algorithm>
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

// Waits until `receiver` has taken every byte sent to it so far.
void WaitTaken(SOCKET receiver)
{
    for (;;) {
#ifdef _WIN32
        u_long pending = 0;
        ioctlsocket(receiver, FIONREAD, &pending);
#else
        int pending = 0;
        ioctl(receiver, FIONREAD, &pending);
#endif
        if (pending == 0) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
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

TEST(RecvFrame, FailsOnBadFramesAndShortConnections)
{
    struct Case {
        const char* what;
        std::string first;
        std::string later;
    };
    const Case cases[] = {
        {"header split over two receives", "#@REP", "ORT@#;1;x"},
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
    for (const std::string sent : {"", "#@REPORT@#;10;abc"}) {
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
