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
    const int received = ReceiveBefore(s, buf, bufSize, bounded, deadline);
    if (received < 0) {
        return false;
    }
    std::string key;
    int valueLen = 0;
    int headerLen = 0;
    if (!ParseFieldHeader(buf, received, &key, &valueLen, &headerLen)) {
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
