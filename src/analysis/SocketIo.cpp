#include "analysis/SocketIo.h"

#include "analysis/OutOfMemory.h"
#include "analysis/SocketShim.h"
#include "analysis/TextField.h"

#include <chrono>
#include <cstring>
#include <new>

namespace {

using Clock = std::chrono::steady_clock;

// One receive that waits no longer than the deadline allows; -1 when the
// deadline passed first.
int ReceiveBefore(SOCKET s, char* buf, int len, bool bounded, Clock::time_point deadline)
{
    if (bounded) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || !WaitReadable(s, static_cast<int>(left))) {
            return -1;
        }
    }
    return ReceiveSome(s, buf, len);
}

// Receives into `buf` until it holds a whole field header, in as many receives
// as the peer needs, within the deadline. A header is at most
// MAX_FIELD_HEADER - 1 bytes and must fit in `bufSize`; more bytes without
// one, or a NUL among them, can never make one, and fail at once. `received`
// counts every byte taken, value bytes that came with the header among them.
bool ReceiveHeader(SOCKET s, char* buf, int bufSize, bool bounded, Clock::time_point deadline, int* received,
                   std::string* key, int* valueLen, int* headerLen)
{
    const int headerRoom = bufSize < MAX_FIELD_HEADER - 1 ? bufSize : MAX_FIELD_HEADER - 1;
    *received = 0;
    for (;;) {
        const int piece = ReceiveBefore(s, buf + *received, bufSize - *received, bounded, deadline);
        if (piece <= 0) {
            return false;
        }
        *received += piece;
        const int searched = *received < headerRoom ? *received : headerRoom;
        if (ParseFieldHeader(buf, searched, key, valueLen, headerLen)) {
            return true;
        }
        if (*received >= headerRoom || std::memchr(buf, '\0', static_cast<size_t>(searched)) != nullptr) {
            return false;
        }
    }
}

// RecvFrame once its outputs are cleared; they are set only on success.
bool ReceiveFrame(SOCKET s, char* buf, int bufSize, const char* expectedKey, std::shared_ptr<char[]>* data, int* len,
                  int* offset, int maxLen, int waitMs)
{
    const bool bounded = waitMs != WAIT_FOREVER;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(bounded ? waitMs : 0);

    std::shared_ptr<char[]> ownBuffer;
    if (buf == nullptr) {
        ownBuffer.reset(new (std::nothrow) char[FRAME_BUFFER_SIZE]);
        if (!ownBuffer) {
            return false;
        }
        buf = ownBuffer.get();
        bufSize = FRAME_BUFFER_SIZE;
    }
    if (bufSize < 1) {
        return false;
    }
    int received = 0;
    std::string key;
    int valueLen = 0;
    int headerLen = 0;
    if (!ReceiveHeader(s, buf, bufSize, bounded, deadline, &received, &key, &valueLen, &headerLen)) {
        return false;
    }
    if (key != expectedKey || valueLen < 0 || valueLen > maxLen) {
        return false;
    }
    const int inHand = received - headerLen;
    if (inHand >= valueLen) {
        *data = std::move(ownBuffer);
        *offset = headerLen;
        *len = valueLen;
        return true;
    }

    std::shared_ptr<char[]> value(new (std::nothrow) char[static_cast<size_t>(valueLen)]);
    if (!value) {
        return false;
    }
    std::memcpy(value.get(), buf + headerLen, static_cast<size_t>(inHand));
    for (int filled = inHand; filled < valueLen;) {
        const int missing = valueLen - filled;
        const int piece =
            ReceiveBefore(s, value.get() + filled, missing < bufSize ? missing : bufSize, bounded, deadline);
        if (piece <= 0) {
            return false;
        }
        filled += piece;
    }
    *data = std::move(value);
    *len = valueLen;
    return true;
}

} // namespace

bool RecvFrame(SOCKET* s, char* buf, int bufSize, const char* expectedKey, std::shared_ptr<char[]>* data, int* len,
               int* offset, int maxLen, int waitMs)
{
    data->reset();
    *len = 0;
    *offset = 0;
    return FalseWhenOutOfMemory(
        [&] { return ReceiveFrame(*s, buf, bufSize, expectedKey, data, len, offset, maxLen, waitMs); });
}

bool SendAll(SOCKET* s, const char* data, int len, int* sent)
{
    return SendInBoundedCalls([s](const char* rest, int restLen) { return SendSome(*s, rest, restLen); }, data, len,
                              sent);
}
