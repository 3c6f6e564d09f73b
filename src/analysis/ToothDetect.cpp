#include "analysis/ToothDetect.h"

#include "analysis/AnalysisServer.h"
#include "analysis/OutOfMemory.h"
#include "analysis/SocketIo.h"
#include "analysis/SocketShim.h"
#include "analysis/TextField.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

// The one block an upload streams through: fields are appended at its end,
// and each time it is full it is sent whole and starts again empty.
class UploadBlock {
public:
    UploadBlock() : bytes(new char[FRAME_BUFFER_SIZE]) {}

    bool AppendField(const char* key, const char* value)
    {
        return Took(FormatField(bytes.get() + used, FRAME_BUFFER_SIZE - used, key, value));
    }

    bool AppendHeader(const char* key, int valueLen)
    {
        return Took(FormatFieldHeader(bytes.get() + used, FRAME_BUFFER_SIZE - used, key, valueLen));
    }

    // Appends `size` bytes of `file`. A file that shrank under us would leave
    // the announced LEN short and the server reading the next field as image
    // bytes, so a short read fails.
    bool AppendFile(SOCKET s, CUploadFile& file, int size)
    {
        for (int left = size; left > 0;) {
            if (used == FRAME_BUFFER_SIZE && !Send(s)) {
                return false;
            }
            const int room = FRAME_BUFFER_SIZE - used;
            const int piece = left < room ? left : room;
            if (!file.Read(bytes.get() + used, piece)) {
                return false;
            }
            used += piece;
            left -= piece;
        }
        return used < FRAME_BUFFER_SIZE || Send(s);
    }

    // Appends the command token, in a fresh block when this one lacks the room.
    bool AppendToken(SOCKET s, const char* token, int len)
    {
        if (FRAME_BUFFER_SIZE - used < len && !Send(s)) {
            return false;
        }
        std::memcpy(bytes.get() + used, token, static_cast<size_t>(len));
        used += len;
        return true;
    }

    // Sends what the block holds, in as many calls as it takes, and empties it.
    bool Send(SOCKET s)
    {
        for (int sent = 0; sent < used;) {
            const int result = SendSome(s, bytes.get() + sent, used - sent);
            if (result <= 0) {
                return false;
            }
            sent += result;
        }
        used = 0;
        return true;
    }

    // The reply's first receive reuses the block.
    char* Data() const { return bytes.get(); }

private:
    bool Took(int len)
    {
        used += len;
        return len > 0;
    }

    std::unique_ptr<char[]> bytes;
    int used = 0;
};

// The reply accepts the request when RETCODE's value equals "1" as strncmp
// compares over LEN bytes: so the empty value accepts too.
bool IsAccepted(const TextField& field)
{
    return std::strncmp("1", field.value, static_cast<size_t>(field.valueLen)) == 0;
}

// Opens the first image, and the second when its path is not empty.
template <typename Path> bool OpenImages(CUploadFile* images, const Path& path1, const Path& path2)
{
    return images[0].Open(path1) && (path2.empty() || images[1].Open(path2));
}

} // namespace

CToothDetect::CToothDetect() = default;

CToothDetect::~CToothDetect() = default;

void CToothDetect::SetServer(const std::string& host, unsigned short port)
{
    // An address that cannot be stored leaves none, and every request fails.
    try {
        this->host = host;
    } catch (const std::bad_alloc&) {
        this->host.clear();
    }
    this->port = port;
}

void CToothDetect::SetReplyWait(int milliseconds)
{
    replyWaitMs = milliseconds;
}

bool CToothDetect::Detect(const std::string& guid, const std::string& mac, const std::string& path1,
                          const std::string& path2, bool* accepted, std::string* posInfo, std::string* disInfo)
{
    return FalseWhenOutOfMemory([&] {
        CUploadFile images[2];
        return OpenImages(images, path1, path2) && Upload(guid, mac, images, !path2.empty(), accepted, posInfo, disInfo);
    });
}

bool CToothDetect::Detect(const std::string& guid, const std::string& mac, const std::wstring& path1,
                          const std::wstring& path2, bool* accepted, std::string* posInfo, std::string* disInfo)
{
    return FalseWhenOutOfMemory([&] {
        CUploadFile images[2];
        return OpenImages(images, path1, path2) && Upload(guid, mac, images, !path2.empty(), accepted, posInfo, disInfo);
    });
}

bool CToothDetect::Upload(const std::string& guid, const std::string& mac, CUploadFile* images, bool twoImages,
                          bool* accepted, std::string* posInfo, std::string* disInfo)
{
    char token[MAX_FIELD_HEADER];
    const int tokenLen = FormatField(token, sizeof token, twoImages ? KEY_SNEWPANO : KEY_NEWPANO, nullptr);
    if (tokenLen == 0) {
        return false;
    }
    UploadBlock block;
    if (!block.AppendField(KEY_GUID, guid.c_str()) || !block.AppendField(KEY_MACADDRESS, mac.c_str())) {
        return false;
    }
    OwnedSocket socket;
    if (!Connect(socket.Ptr())) {
        return false;
    }
    SetSendTimeout(socket.Get(), replyWaitMs);
    const int imageCount = twoImages ? 2 : 1;
    for (int i = 0; i < imageCount; ++i) {
        const int size = images[i].Size();
        if (size < 0 || !block.AppendHeader(i == 0 ? KEY_JPG : KEY_SJPG, size) ||
            !block.AppendFile(socket.Get(), images[i], size)) {
            return false;
        }
        images[i].Close();
        // The second image begins in an empty block.
        if (i + 1 < imageCount && !block.Send(socket.Get())) {
            return false;
        }
    }
    if (!block.AppendToken(socket.Get(), token, tokenLen) || !block.Send(socket.Get())) {
        return false;
    }
    return ReceiveReport(socket.Ptr(), block.Data(), accepted, posInfo, disInfo, nullptr, replyWaitMs);
}

bool CToothDetect::UpdateFindings(const std::string& guid, const std::string& mac, const std::string& disInfo,
                                  bool* accepted)
{
    return FalseWhenOutOfMemory([&] {
        const std::unique_ptr<char[]> buf(new char[FRAME_BUFFER_SIZE]);
        const char* const keys[] = {KEY_GUID, KEY_MACADDRESS, KEY_DISINFO, KEY_UPDPANO};
        const char* const values[] = {guid.c_str(), mac.c_str(), disInfo.c_str(), nullptr};
        int used = 0;
        for (int i = 0; i < 4; ++i) {
            const int written = FormatField(buf.get() + used, FRAME_BUFFER_SIZE - used, keys[i], values[i]);
            if (written == 0) {
                return false;
            }
            used += written;
        }
        return Exchange(buf.get(), used, accepted, nullptr, nullptr, nullptr);
    });
}

bool CToothDetect::DataReflect(const std::string& text, bool* accepted, std::string* echo)
{
    return FalseWhenOutOfMemory([&] {
        const std::unique_ptr<char[]> buf(new char[FRAME_BUFFER_SIZE]);
        const int used = FormatField(buf.get(), FRAME_BUFFER_SIZE, KEY_DATAREFLECT, text.c_str());
        if (used == 0) {
            return false;
        }
        return Exchange(buf.get(), used, accepted, nullptr, nullptr, echo);
    });
}

bool CToothDetect::TestMessage(bool* accepted, std::string* part1, std::string* part2)
{
    return FalseWhenOutOfMemory([&] {
        const std::unique_ptr<char[]> buf(new char[FRAME_BUFFER_SIZE]);
        const int used = FormatField(buf.get(), FRAME_BUFFER_SIZE, KEY_TESTMSG, nullptr);
        std::string ownText;
        std::string* text = part1 != nullptr ? part1 : &ownText;
        if (used == 0 || !Exchange(buf.get(), used, accepted, nullptr, nullptr, text)) {
            return false;
        }
        const size_t colon = text->find(':');
        if (colon == std::string::npos) {
            return false;
        }
        if (part2 != nullptr) {
            *part2 = text->substr(colon + 1);
        }
        text->resize(colon);
        return true;
    });
}

bool CToothDetect::Exchange(char* buf, int len, bool* accepted, std::string* posInfo, std::string* disInfo,
                            std::string* extInfo)
{
    OwnedSocket socket;
    if (!Connect(socket.Ptr())) {
        return false;
    }
    SetSendTimeout(socket.Get(), replyWaitMs);
    int sent = 0;
    if (!SendAll(socket.Ptr(), buf, len, &sent)) {
        return false;
    }
    return ReceiveReport(socket.Ptr(), buf, accepted, posInfo, disInfo, extInfo, replyWaitMs);
}

bool CToothDetect::ReceiveReport(SOCKET* s, char* buf, bool* accepted, std::string* posInfo, std::string* disInfo,
                                 std::string* extInfo, int waitMs)
{
    return FalseWhenOutOfMemory([&] {
        for (std::string* output : {posInfo, disInfo, extInfo}) {
            if (output != nullptr) {
                output->clear();
            }
        }
        TextFrame frame;
        if (!RecvFrame(s, buf, FRAME_BUFFER_SIZE, KEY_REPORT, &frame.data, &frame.len, &frame.offset, MAX_REPORT_LEN,
                       waitMs)) {
            return false;
        }
        return ReadReport(frame.Value(buf), frame.len, accepted, posInfo, disInfo, extInfo);
    });
}

bool CToothDetect::ReadReport(const char* value, int len, bool* accepted, std::string* posInfo, std::string* disInfo,
                              std::string* extInfo)
{
    return FalseWhenOutOfMemory([&] {
        const int wanted = 1 + (posInfo != nullptr) + (disInfo != nullptr) + (extInfo != nullptr);
        int count = 0;
        TextField field;
        for (int rest = len; rest >= 1; value += field.size, rest -= field.size) {
            if (!ReadField(value, rest, &field)) {
                return false;
            }
            std::string* output = nullptr;
            if (field.key == KEY_RETCODE) {
                const bool isAccepted = IsAccepted(field);
                if (accepted != nullptr) {
                    *accepted = isAccepted;
                }
                if (!isAccepted) {
                    return true;
                }
                ++count;
            } else if (field.key == KEY_POSINFO) {
                output = posInfo;
            } else if (field.key == KEY_DISINFO) {
                output = disInfo;
            } else if (field.key == KEY_EXTINFO) {
                output = extInfo;
            }
            if (output != nullptr) {
                output->assign(field.value, static_cast<size_t>(field.valueLen));
                ++count;
            }
            if (count >= wanted) {
                return true;
            }
        }
        return false;
    });
}

bool CToothDetect::Connect(SOCKET* s)
{
    *s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (*s == INVALID_SOCKET) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    // A text that is no IPv4 address fails here rather than reaching 0.0.0.0,
    // which some stacks take for this machine.
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 || !ConnectWithin(*s, address, CONNECT_WAIT_MS)) {
        CloseSocketHandle(s);
        return false;
    }
    return true;
}

void CToothDetect::CloseSocketHandle(SOCKET* s)
{
    if (*s != INVALID_SOCKET) {
        closesocket(*s);
        *s = INVALID_SOCKET;
    }
}
