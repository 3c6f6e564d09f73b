// Receiving one frame and sending one buffer over a blocking socket.
#pragma once

#include "foundation/Portable.h"

#include <memory>

// The most send calls `SendAll` spends on one buffer.
constexpr int MAX_SEND_CALLS = 5;

// Receives one frame whose key is `expectedKey`. The header is gathered into
// `buf` (null: a buffer of our own of FRAME_BUFFER_SIZE bytes) over as many
// receives as the peer takes to send it; it must fit in `bufSize` bytes and
// in MAX_FIELD_HEADER - 1. When the value came with the header it is handed
// out in place: `data` is our own buffer, or empty when it lies in `buf`, at
// `offset`. Otherwise it is read into one buffer of exactly LEN bytes at
// offset 0. A LEN above `maxLen` is refused before anything is allocated, and
// a value that cannot be allocated fails the receive; the receive gives up
// when `waitMs` (WAIT_FOREVER: no limit) have passed since the call began.
bool RecvFrame(SOCKET* s, char* buf, int bufSize, const char* expectedKey, std::shared_ptr<char[]>* data, int* len,
               int* offset, int maxLen, int waitMs);

// Sends `len` bytes in at most MAX_SEND_CALLS calls; `sent` counts what went
// out. A zero length sends nothing and fails.
bool SendAll(SOCKET* s, const char* data, int len, int* sent);

// SendAll's rule over any send call `sendCall(data, len)` → bytes taken or
// negative: a peer that takes a little at a time still gets no more calls.
template <typename SendCall> bool SendInBoundedCalls(SendCall sendCall, const char* data, int len, int* sent)
{
    *sent = 0;
    if (data == nullptr || len <= 0) {
        return false;
    }
    for (int call = 0; call < MAX_SEND_CALLS; ++call) {
        const int result = sendCall(data + *sent, len - *sent);
        if (result < 0) {
            return false;
        }
        *sent += result;
        if (*sent >= len) {
            return true;
        }
    }
    return false;
}
