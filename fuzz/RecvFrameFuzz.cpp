// Receives one frame from a byte stream that arrives in pieces the input
// chooses, over a socket pair. A piece is written only once the one before it
// was taken, so each receive sees at most one piece. A frame that is accepted
// must hand out exactly the bytes behind its header, and a whole frame must
// be accepted wherever its header was cut.
#include "analysis/SocketIo.h"
#include "analysis/TextField.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

const char KEY[] = "#@REPORT@#";

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void WritePieces(int s, int peer, const std::string& stream, const std::vector<size_t>& pieces,
                 const std::atomic<bool>& done)
{
    size_t at = 0;
    for (size_t i = 0; i <= pieces.size() && at < stream.size(); ++i) {
        const size_t len = i < pieces.size() ? std::min(pieces[i], stream.size() - at) : stream.size() - at;
        if (send(s, stream.data() + at, len, MSG_NOSIGNAL) != static_cast<ssize_t>(len)) {
            break;
        }
        at += len;
        int waiting = 1;
        while (!done && ioctl(peer, FIONREAD, &waiting) == 0 && waiting > 0) {
            std::this_thread::yield();
        }
    }
    shutdown(s, SHUT_WR);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int bufChoice = input.ConsumeIntegralInRange(0, 2);
    const int bufSize = bufChoice == 0 ? 0 : bufChoice == 1 ? FRAME_BUFFER_SIZE : input.ConsumeIntegralInRange(1, 64);
    const int maxLen = input.ConsumeIntegralInRange(0, 1 << 16);
    std::vector<size_t> pieces(input.ConsumeIntegralInRange(0, 8));
    for (size_t& piece : pieces) {
        piece = input.ConsumeIntegralInRange<size_t>(1, 64);
    }
    const std::string stream = input.ConsumeRemainingBytesAsString();

    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) {
        return 0;
    }
    std::atomic<bool> done{false};
    std::thread writer(WritePieces, ends[1], ends[0], std::cref(stream), std::cref(pieces), std::cref(done));
    std::vector<char> buf(static_cast<size_t>(bufSize));
    std::shared_ptr<char[]> value;
    int len = -1;
    int offset = -1;
    SOCKET reader = ends[0];
    const bool ok =
        RecvFrame(&reader, bufSize == 0 ? nullptr : buf.data(), bufSize, KEY, &value, &len, &offset, maxLen, 10000);
    done = true;
    writer.join();
    close(ends[0]);
    close(ends[1]);

    std::string key;
    int valueLen = 0;
    int headerLen = 0;
    if (!ok) {
        Check(!value && len == 0 && offset == 0);
        // A whole frame whose header fits the buffer and the header limit is
        // never refused, however its pieces fell.
        const int room = std::min({bufSize == 0 ? FRAME_BUFFER_SIZE : bufSize, MAX_FIELD_HEADER - 1,
                                   static_cast<int>(std::min<size_t>(stream.size(), MAX_FIELD_HEADER))});
        Check(!ParseFieldHeader(stream.data(), room, &key, &valueLen, &headerLen) || key != KEY || valueLen < 0 ||
              valueLen > maxLen || static_cast<size_t>(headerLen) + static_cast<size_t>(valueLen) > stream.size());
        return 0;
    }
    Check(ParseFieldHeader(stream.data(), static_cast<int>(stream.size()), &key, &valueLen, &headerLen));
    Check(key == KEY && len == valueLen && len <= maxLen);
    Check(static_cast<size_t>(headerLen) + static_cast<size_t>(len) <= stream.size());
    const char* got = value ? value.get() + offset : buf.data() + offset;
    Check(value ? (offset == 0 || offset == headerLen) : offset == headerLen);
    Check(std::string(got, static_cast<size_t>(len)) == stream.substr(static_cast<size_t>(headerLen), len));
    return 0;
}
