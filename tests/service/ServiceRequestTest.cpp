#include "service/ServiceRequest.h"

#include "FakeAnalysisServer.h"
#include "analysis/SocketIo.h"
#include "service/ServiceProtocol.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

const std::string GUID_TEXT = "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9";

struct ParseCase {
    const char* name;
    std::string payload;
    bool ok;
    int32_t command;
    std::string imagePath;
    std::string guid;
    std::string disInfo;
};

TEST(ServiceRequest, PayloadsParseAsTheProtocolSays)
{
    const ParseCase cases[] = {
        {"NEW", "NEW;8;D:\\a.jpg", true, COMMAND_NEW, "D:\\a.jpg", "", ""},
        {"NEWSHARP", "NEWSHARP;8;D:\\a.jpg", true, COMMAND_NEWSHARP, "D:\\a.jpg", "", ""},
        {"NEWSMART", "NEWSMART;8;D:\\a.jpg", true, COMMAND_NEWSMART, "D:\\a.jpg", "", ""},
        {"bytes behind NEW's value are not read", "NEW;1;xtrailing", true, COMMAND_NEW, "x", "", ""},
        {"SHUTDOWN", "SHUTDOWN;0;", true, COMMAND_SHUTDOWN, "", "", ""},
        {"UPDATE, GUID then DISINFO", "UPDATE;0;GUID;36;" + GUID_TEXT + "DISINFO;5;m=18\n", true, COMMAND_UPDATE, "",
         GUID_TEXT, "m=18\n"},
        {"UPDATE, DISINFO then GUID", "UPDATE;0;DISINFO;5;m=18\nGUID;36;" + GUID_TEXT, true, COMMAND_UPDATE, "",
         GUID_TEXT, "m=18\n"},
        {"UPDATE with X;1;y between", "UPDATE;0;GUID;36;" + GUID_TEXT + "X;1;yDISINFO;5;m=18\n", true, COMMAND_UPDATE,
         "", GUID_TEXT, "m=18\n"},
        {"UPDATE with a field before both", "UPDATE;0;X;1;yGUID;1;gDISINFO;0;", true, COMMAND_UPDATE, "", "g", ""},
        {"UPDATE's fields after both are not read", "UPDATE;0;GUID;1;gDISINFO;1;dJUNK", true, COMMAND_UPDATE, "", "g",
         "d"},
        {"a second GUID before DISINFO replaces the first", "UPDATE;0;GUID;1;aGUID;1;bDISINFO;1;d", true,
         COMMAND_UPDATE, "", "b", "d"},
        {"an empty DISINFO", "UPDATE;0;GUID;1;gDISINFO;0;", true, COMMAND_UPDATE, "", "g", ""},

        {"lower-case command", "new;8;D:\\a.jpg", false, COMMAND_NONE, "", "", ""},
        {"command with a longer name", "NEWS;8;D:\\a.jpg", false, COMMAND_NONE, "", "", ""},
        {"empty path", "NEW;0;", false, COMMAND_NONE, "", "", ""},
        {"path holding a NUL", std::string("NEW;5;a\0.jpg", 12), false, COMMAND_NONE, "", "", ""},
        {"path running past the payload", "NEW;9;D:\\a.jpg", false, COMMAND_NONE, "", "", ""},
        {"negative path LEN", "NEW;-1;x", false, COMMAND_NONE, "", "", ""},
        {"no header", "NEW", false, COMMAND_NONE, "", "", ""},
        {"empty payload", "", false, COMMAND_NONE, "", "", ""},
        {"UPDATE, GUID and GUID", "UPDATE;0;GUID;1;aGUID;1;b", false, COMMAND_NONE, "", "", ""},
        {"UPDATE, DISINFO and DISINFO", "UPDATE;0;DISINFO;1;aDISINFO;1;b", false, COMMAND_NONE, "", "", ""},
        {"UPDATE, GUID alone", "UPDATE;0;GUID;36;" + GUID_TEXT, false, COMMAND_NONE, "", "", ""},
        {"UPDATE, DISINFO alone", "UPDATE;0;DISINFO;5;m=18\n", false, COMMAND_NONE, "", "", ""},
        {"UPDATE alone", "UPDATE;0;", false, COMMAND_NONE, "", "", ""},
        {"UPDATE, empty GUID", "UPDATE;0;GUID;0;DISINFO;5;m=18\n", false, COMMAND_NONE, "", "", ""},
        {"UPDATE, DISINFO running past the payload", "UPDATE;0;GUID;1;gDISINFO;9;m=18\n", false, COMMAND_NONE, "", "",
         ""},
        {"UPDATE, negative DISINFO LEN", "UPDATE;0;GUID;1;gDISINFO;-5;m=18\n", false, COMMAND_NONE, "", "", ""},
        {"UPDATE, GUID holding a NUL", std::string("UPDATE;0;GUID;2;a\0DISINFO;0;", 27), false, COMMAND_NONE, "", "",
         ""},
        {"UPDATE, incomplete field header", "UPDATE;0;GUID;1;gDISINFO", false, COMMAND_NONE, "", "", ""},
    };
    for (const ParseCase& c : cases) {
        SServiceRequest req;
        EXPECT_EQ(ParseRequestPayload(c.payload.data(), static_cast<int>(c.payload.size()), &req), c.ok) << c.name;
        EXPECT_EQ(req.command, c.command) << c.name;
        if (c.ok) {
            EXPECT_EQ(req.imagePath, c.imagePath) << c.name;
            EXPECT_EQ(req.guid, c.guid) << c.name;
            EXPECT_EQ(req.disInfo, c.disInfo) << c.name;
        }
    }
}

void Send(SOCKET s, const std::string& bytes)
{
    int sent = 0;
    ASSERT_TRUE(SendAll(&s, bytes.data(), static_cast<int>(bytes.size()), &sent));
}

struct FrameCase {
    const char* name;
    std::string bytes;
    bool ok;
    int32_t command;
};

TEST(ServiceRequest, FramesAreReceivedOrRefusedWhole)
{
    const std::string update = "UPDATE;0;GUID;36;" + GUID_TEXT + "DISINFO;5;m=18\n";
    const FrameCase cases[] = {
        {"NEW", "PTL1;14;NEW;8;D:\\a.jpg", true, COMMAND_NEW},
        {"SHUTDOWN, 19 bytes", "PTL1;11;SHUTDOWN;0;", true, COMMAND_SHUTDOWN},
        {"UPDATE of 68 bytes", "PTL1;68;" + update, true, COMMAND_UPDATE},
        {"a payload at the bound",
         "PTL1;" + std::to_string(MAX_REQUEST_LEN) + ";NEW;" + std::to_string(MAX_REQUEST_LEN - 10) + ";" +
             std::string(static_cast<size_t>(MAX_REQUEST_LEN - 10), 'p'),
         true, COMMAND_NEW},
        {"PTL2", "PTL2;14;NEW;8;D:\\a.jpg", false, COMMAND_NONE},
        {"empty path", "PTL1;6;NEW;0;", false, COMMAND_NONE},
        {"negative LEN", "PTL1;-14;NEW;8;D:\\a.jpg", false, COMMAND_NONE},
        {"field running past the payload", "PTL1;10;NEW;8;D:\\a.jpg", false, COMMAND_NONE},
    };
    for (const FrameCase& c : cases) {
        LoopbackPair pair;
        ASSERT_TRUE(pair.Ok());
        Send(pair.server, c.bytes);
        SServiceRequest req;
        EXPECT_EQ(ReceiveRequest(&pair.client, &req, 5000), c.ok) << c.name;
        EXPECT_EQ(req.command, c.command) << c.name;
    }
}

// What a client costs the server before it is closed: the time bound and no
// more, whatever it sends or announces.
struct StallCase {
    const char* name;
    std::string bytes;
    bool closeAfter;
    // Refused at once, without waiting for the bound.
    bool atOnce;
};

TEST(ServiceRequest, SlowSilentOrOversizedClientsAreRefusedWithinTheBound)
{
    constexpr int waitMs = 400;
    const StallCase cases[] = {
        {"sends nothing", "", false, false},
        {"stops half-way through its frame", "PTL1;14;NEW;8;D:\\", false, false},
        {"closes half-way through its frame", "PTL1;14;NEW;8;D:\\", true, true},
        {"announces more than the bound", "PTL1;" + std::to_string(MAX_REQUEST_LEN + 1) + ";NEW;", false, true},
        {"announces a length no int holds", "PTL1;99999999999999999999;NEW;", false, true},
    };
    for (const StallCase& c : cases) {
        LoopbackPair pair;
        ASSERT_TRUE(pair.Ok());
        if (!c.bytes.empty()) {
            Send(pair.server, c.bytes);
        }
        if (c.closeAfter) {
            closesocket(pair.server);
            pair.server = INVALID_SOCKET;
        }
        SServiceRequest req;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(ReceiveRequest(&pair.client, &req, waitMs)) << c.name;
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(took, c.atOnce ? waitMs / 2 : waitMs + 2000) << c.name;
        EXPECT_EQ(req.command, COMMAND_NONE) << c.name;
    }
}

} // namespace
