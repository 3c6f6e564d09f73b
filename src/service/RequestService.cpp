#include "service/RequestService.h"

#include "analysis/SocketIo.h"
#include "analysis/SocketShim.h"
#include "analysis/TextField.h"
#include "analysis/ToothDetect.h"
#include "analysis/ToothInfoLoader.h"
#include "foundation/MacAddressUtil.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFileJournal.h"
#include "foundation/TempFiles.h"
#include "foundation/TextFile.h"
#include "service/JpegSignature.h"
#include "service/ServiceProtocol.h"
#include "service/ServiceReply.h"
#include "service/SharpenImageToFile.h"
#include "service/TempFileList.h"
#include "service/TextCodePage.h"

#include <memory>

namespace {

// The stop client gives up connecting after this long: with the backlog full
// a connection attempt may otherwise hang far beyond the dialog's wait.
constexpr int STOP_CONNECT_WAIT_MS = 1000;

sockaddr_in ServiceAddress()
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(SERVICE_PORT);
    inet_pton(AF_INET, SERVICE_ADDRESS, &address.sin_addr);
    return address;
}

bool MakeTcpSocket(SOCKET* s)
{
    const protoent* tcp = getprotobyname("tcp");
    if (tcp == nullptr) {
        return false;
    }
    *s = socket(AF_INET, SOCK_STREAM, tcp->p_proto);
    return *s != INVALID_SOCKET;
}

// Connects `s` to the service within STOP_CONNECT_WAIT_MS.
bool ConnectBounded(SOCKET s)
{
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        return false;
    }
    const sockaddr_in address = ServiceAddress();
    bool connected = connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(s, &writable);
        timeval limit{STOP_CONNECT_WAIT_MS / 1000, (STOP_CONNECT_WAIT_MS % 1000) * 1000};
        int error = 0;
        int size = sizeof error;
        connected = select(0, nullptr, &writable, nullptr, &limit) == 1 &&
                    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0;
    }
    u_long blocking = 0;
    return connected && ioctlsocket(s, FIONBIO, &blocking) == 0;
}

bool SendReply(SOCKET* client, const char* frame, int frameLen)
{
    int sent = 0;
    return frameLen == 0 || SendAll(client, frame, frameLen, &sent);
}

} // namespace

CRequestService::CRequestService() = default;

CRequestService::CRequestService(const std::string& serverAddress, unsigned short serverPort, CTempFileList* tempFiles)
    : serverAddress(serverAddress), serverPort(serverPort), tempFiles(tempFiles)
{
}

CRequestService::~CRequestService()
{
    CloseSocket();
}

void CRequestService::CloseSocket()
{
    if (sock != INVALID_SOCKET) {
        closesocket(sock);
        sock = INVALID_SOCKET;
    }
    state = STATE_CLOSED;
}

bool CRequestService::RunServer()
{
    if (sock == INVALID_SOCKET) {
        if (!MakeTcpSocket(&sock)) {
            CloseSocket();
            return false;
        }
        state = STATE_SOCKET;
    }
    const sockaddr_in address = ServiceAddress();
    if (bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        CloseSocket();
        return false;
    }
    state = STATE_BOUND;
    if (listen(sock, SERVICE_BACKLOG) != 0) {
        CloseSocket();
        return false;
    }
    state = STATE_LISTENING;
    // Only now is this the one service: the copies a killed run of the mode
    // left go before this one makes any.
    g_tempFileJournal.Sweep();
    AcceptLoop();
    CloseSocket();
    return true;
}

void CRequestService::AcceptLoop()
{
    if (state != STATE_LISTENING) {
        return;
    }
    while (!stopFlag) {
        OwnedSocket client(accept(sock, nullptr, nullptr));
        if (client.Get() == INVALID_SOCKET) {
            // A client that reset its connection while it waited is gone; it
            // must not end the service for everyone else.
            const int error = WSAGetLastError();
            if (error == WSAECONNRESET || error == WSAECONNABORTED) {
                continue;
            }
            return;
        }
        SetSendTimeout(client.Get(), REPLY_SEND_WAIT_MS);
        SServiceRequest req;
        if (ReadRequest(client.Ptr(), &req)) {
            HandleRequest(client.Ptr(), req);
        }
    }
}

bool CRequestService::ReadRequest(SOCKET* client, SServiceRequest* req)
{
    return ReceiveRequest(client, req, REQUEST_READ_WAIT_MS);
}

bool CRequestService::HandleRequest(SOCKET* client, const SServiceRequest& req)
{
    switch (req.command) {
    case COMMAND_NEW:
    case COMMAND_NEWSHARP:
    case COMMAND_NEWSMART:
        return HandleAnalysis(client, req);
    case COMMAND_UPDATE:
        return HandleUpdate(client, req);
    case COMMAND_SHUTDOWN:
        if (tempFiles != nullptr) {
            tempFiles->DeleteAll();
        }
        stopFlag = true;
        return true;
    default:
        return true;
    }
}

bool CRequestService::HandleAnalysis(SOCKET* client, const SServiceRequest& req)
{
    std::wstring sharpWide;
    // NEWSMART's copy is never named to a client: it is held open through
    // its upload and goes with its handle, even when the process is killed.
    UniqueHandle heldCopy;
    const CopyLifetime lifetime =
        req.command == COMMAND_NEWSMART ? CopyLifetime::WhileOpen : CopyLifetime::UntilDeleted;
    if (req.command != COMMAND_NEW && !MakeSharpenedCopy(req.imagePath, lifetime, &sharpWide, &heldCopy)) {
        return true;
    }
    bool analysed = false;
    bool accepted = false;
    std::string guid;
    std::string toothBoxes;
    std::string findingsByTooth;
    std::string sharpPath;
    if (req.command == COMMAND_NEW) {
        // Only a JPEG image goes to the analysis server: any other file a
        // client names is answered as one that cannot be read.
        analysed = BeginsWithJpegSignature(req.imagePath) &&
                   AnalyzeImage(req.imagePath, std::string(), &accepted, &guid, &toothBoxes, &findingsByTooth);
    } else if (req.command == COMMAND_NEWSHARP) {
        // The reply names the copy in the code page: a copy that it cannot
        // name (a temporary folder outside the code page) is of no use to
        // the client, and the analysis fails.
        analysed = WideToAnsi(sharpWide, &sharpPath) &&
                   AnalyzeImage(sharpPath, std::string(), &accepted, &guid, &toothBoxes, &findingsByTooth);
    } else {
        // NEWSMART never names its copy, so it is read by its wide path,
        // wherever the temporary folder is.
        std::wstring imageWide;
        analysed = AnsiToWide(req.imagePath, &imageWide) &&
                   AnalyzeImage(imageWide, sharpWide, &accepted, &guid, &toothBoxes, &findingsByTooth);
    }

    const std::unique_ptr<char[]> frame(new char[FRAME_BUFFER_SIZE]);
    int frameLen = 0;
    bool namesCopy = false;
    std::string findingsByCode;
    if (!analysed || (accepted && !FindingsByCodeFromReply(toothBoxes.c_str(), findingsByTooth.c_str(),
                                                           g_systemSetting.missEnd, &findingsByCode))) {
        BuildCodeReply(false, frame.get(), &frameLen);
    } else if (accepted) {
        namesCopy = req.command == COMMAND_NEWSHARP;
        if (!BuildResultReply(guid, findingsByCode, namesCopy ? &sharpPath : nullptr, frame.get(), &frameLen)) {
            namesCopy = false;
        }
    }
    // NEWSMART's copy goes as its handle closes; the list forgets it below.
    heldCopy.Reset();
    // A copy that no reply names is never asked for: it goes at once.
    if (!sharpWide.empty() && !namesCopy) {
        tempFiles->Delete(sharpWide);
    }
    return SendReply(client, frame.get(), frameLen);
}

bool CRequestService::HandleUpdate(SOCKET* client, const SServiceRequest& req)
{
    std::string findingsByTooth;
    std::string mac;
    if (!FindingsByToothFromUpdate(req.disInfo.c_str(), &findingsByTooth) || !GetMacAddressString(&mac) ||
        mac.empty()) {
        return true;
    }
    CToothDetect detect;
    detect.SetServer(serverAddress, serverPort);
    detect.SetReplyWait(ANALYSIS_REPLY_WAIT_MS);
    bool accepted = false;
    if (!detect.UpdateFindings(req.guid, mac, findingsByTooth, &accepted)) {
        return true;
    }
    const std::unique_ptr<char[]> frame(new char[FRAME_BUFFER_SIZE]);
    int frameLen = 0;
    BuildCodeReply(accepted, frame.get(), &frameLen);
    return SendReply(client, frame.get(), frameLen);
}

bool CRequestService::MakeSharpenedCopy(const std::string& imagePath, CopyLifetime lifetime, std::wstring* widePath,
                                        UniqueHandle* held)
{
    GUID guid;
    wchar_t path[TEMP_PATH_CAPACITY];
    if (tempFiles == nullptr || CoCreateGuid(&guid) != S_OK || !MakeTempFilePath(&guid, L".jpg", path)) {
        return false;
    }
    // The copy is a patient's picture: it is registered before a byte of it
    // is written, so a dialog that gives the worker up at any moment deletes
    // it, whole or cut short.
    UniqueHandle copy = tempFiles->Create(path, lifetime);
    if (!copy) {
        return false;
    }
    if (!SharpenImageToFile(imagePath, copy.Get())) {
        copy.Reset();
        tempFiles->Delete(path);
        return false;
    }
    if (lifetime == CopyLifetime::WhileOpen) {
        *held = std::move(copy);
    }
    *widePath = path;
    return true;
}

template <typename Path>
bool CRequestService::AnalyzeImage(const Path& path1, const Path& path2, bool* accepted, std::string* guid,
                                   std::string* posInfo, std::string* disInfo)
{
    std::string mac;
    CToothDetect detect;
    return PrepareAnalysis(guid, &mac, &detect) && detect.Detect(*guid, mac, path1, path2, accepted, posInfo, disInfo);
}

bool CRequestService::PrepareAnalysis(std::string* guid, std::string* mac, CToothDetect* detect)
{
    GUID id;
    if (CoCreateGuid(&id) != S_OK || !GuidToString(&id, guid) || !GetMacAddressString(mac) || mac->empty()) {
        return false;
    }
    detect->SetServer(serverAddress, serverPort);
    detect->SetReplyWait(ANALYSIS_REPLY_WAIT_MS);
    return true;
}

bool CRequestService::SendCommand(int which)
{
    if (sock == INVALID_SOCKET) {
        if (!MakeTcpSocket(&sock)) {
            CloseSocket();
            return false;
        }
        state = STATE_SOCKET;
    }
    bool sent = false;
    if (ConnectBounded(sock)) {
        state = STATE_CONNECTED;
        sent = WriteCommand(which);
    }
    CloseSocket();
    return sent;
}

bool CRequestService::WriteCommand(int which)
{
    if (state != STATE_CONNECTED || which != SEND_SHUTDOWN) {
        return false;
    }
    char command[MAX_FIELD_HEADER];
    char frame[MAX_FIELD_HEADER];
    const int commandLen = FormatField(command, sizeof command, CMD_SHUTDOWN, nullptr);
    const int frameLen = commandLen == 0 ? 0 : FormatField(frame, sizeof frame, KEY_REQUEST_FRAME, command);
    int sent = 0;
    return frameLen > 0 && SendAll(&sock, frame, frameLen, &sent);
}
