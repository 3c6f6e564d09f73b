// The loopback request server of the service mode, and the client that sends
// it the stop request. The server listens on 127.0.0.1:5556, serves one
// connection at a time, reads one request per connection, runs it against
// the analysis server and answers with at most one reply frame.
#pragma once

#include "foundation/Portable.h"
#include "service/ServiceRequest.h"
#include "service/TempFileList.h"
#include "ui/Handles.h"

#include <cstdint>
#include <string>

class CToothDetect;

enum ServiceState : int32_t {
    STATE_CLOSED = 0,
    STATE_SOCKET = 1,
    STATE_BOUND = 2,
    STATE_LISTENING = 3,
    STATE_CONNECTED = 4,
};

// The one command the system sends to a running server.
constexpr int SEND_SHUTDOWN = 0;

class CRequestService {
public:
    // The stop client: no analysis server, no temporary files.
    CRequestService();
    // The server: analyses on `serverAddress`:`serverPort`; the sharpened
    // copies go into `tempFiles`, which must outlive the server.
    CRequestService(const std::string& serverAddress, unsigned short serverPort, CTempFileList* tempFiles);
    CRequestService(const CRequestService&) = delete;
    CRequestService& operator=(const CRequestService&) = delete;
    virtual ~CRequestService();

    // Serves until a SHUTDOWN request or a failed accept; false when the
    // server cannot be set up (no socket, the port taken).
    virtual bool RunServer();
    // Connects to the server and sends one command frame; reads no reply.
    virtual bool SendCommand(int which);

    void AcceptLoop();
    bool ReadRequest(SOCKET* client, SServiceRequest* req);
    // Runs the request and sends its reply, if it has one; false only when a
    // reply was due and could not be sent.
    bool HandleRequest(SOCKET* client, const SServiceRequest& req);
    // One analysis through the analysis client. The tooth boxes only tell a
    // reply that names teeth from one that names none. Paths are narrow or
    // wide strings: the wide form reads files whose paths the code page
    // cannot spell.
    template <typename Path>
    bool AnalyzeImage(const Path& path1, const Path& path2, bool* accepted, std::string* guid, std::string* posInfo,
                      std::string* disInfo);
    bool WriteCommand(int which);

private:
    bool HandleAnalysis(SOCKET* client, const SServiceRequest& req);
    bool HandleUpdate(SOCKET* client, const SServiceRequest& req);
    // A new temporary JPEG holding the sharpened request image, registered
    // for deletion. A copy that lives while it is open comes with its handle
    // in `held`; any other is closed, ready for readers.
    bool MakeSharpenedCopy(const std::string& imagePath, CopyLifetime lifetime, std::wstring* widePath,
                           UniqueHandle* held);
    // A new GUID, the machine id and a client for the analysis server; false
    // when either cannot be had.
    bool PrepareAnalysis(std::string* guid, std::string* mac, CToothDetect* detect);
    void CloseSocket();

    SOCKET sock = INVALID_SOCKET;
    int32_t state = STATE_CLOSED;
    std::string serverAddress;
    uint16_t serverPort = 0;
    bool stopFlag = false;
    CTempFileList* tempFiles = nullptr;
};
