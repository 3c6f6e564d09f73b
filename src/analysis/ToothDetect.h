// The client of the analysis server. Each request opens one connection, sends
// one run of fields, reads the "#@REPORT@#" frame of the reply and closes.
// Every failure, running out of memory among them, is the result false.
#pragma once

#include "analysis/UploadFile.h"
#include "foundation/Portable.h"

#include <string>

// Replies are a few hundred bytes; a longer one is refused rather than held
// in memory and parsed into tooth maps in a 32-bit process.
constexpr int MAX_REPORT_LEN = 1024 * 1024;
// How long a request waits for the server to take the connection: a host that
// does not answer would otherwise hold the caller for the system's own
// connect time-out.
constexpr int CONNECT_WAIT_MS = 5000;
// How long a request waits for the server's reply by default.
constexpr int REPLY_WAIT_MS = 120 * 1000;

class CToothDetect {
public:
    CToothDetect();
    virtual ~CToothDetect();

    void SetServer(const std::string& host, unsigned short port);
    // How long each request waits for the reply (and for each send) before it
    // fails as having no valid reply.
    void SetReplyWait(int milliseconds);

    // Uploads one image, or an image and its sharpened copy (`path2` not
    // empty), and reads the tooth boxes and the findings of each tooth.
    // The narrow paths are in the thread's ANSI code page, as the service's
    // peers send them; where the caller holds wide paths it passes those, so
    // that a folder no code page can spell is still read.
    bool Detect(const std::string& guid, const std::string& mac, const std::string& path1, const std::string& path2,
                bool* accepted, std::string* posInfo, std::string* disInfo);
    bool Detect(const std::string& guid, const std::string& mac, const std::wstring& path1, const std::wstring& path2,
                bool* accepted, std::string* posInfo, std::string* disInfo);
    // Forwards the user's corrected findings of the analysis `guid`.
    bool UpdateFindings(const std::string& guid, const std::string& mac, const std::string& disInfo, bool* accepted);
    // Transfer tests: the server echoes `text`, or answers two parts joined by
    // ':'. TestMessage reads the answer into `part1` and splits it at its first
    // ':' into `part1` and `part2`; an answer without one fails and stays whole
    // in `part1`.
    bool DataReflect(const std::string& text, bool* accepted, std::string* echo);
    bool TestMessage(bool* accepted, std::string* part1, std::string* part2);

    // Receives the reply frame (the first receive into `buf`, FRAME_BUFFER_SIZE
    // bytes) and reads RETCODE and each field whose output is given.
    static bool ReceiveReport(SOCKET* s, char* buf, bool* accepted, std::string* posInfo, std::string* disInfo,
                              std::string* extInfo, int waitMs);
    // Walks the fields of a reply frame's value of `len` bytes.
    static bool ReadReport(const char* value, int len, bool* accepted, std::string* posInfo, std::string* disInfo,
                           std::string* extInfo);

    // Connects within CONNECT_WAIT_MS; on failure the socket is closed and invalid.
    bool Connect(SOCKET* s);
    static void CloseSocketHandle(SOCKET* s);

private:
    // Uploads the images already open (the second one only when `twoImages`)
    // and reads the reply. The files are let go once their bytes are sent.
    bool Upload(const std::string& guid, const std::string& mac, CUploadFile* images, bool twoImages, bool* accepted,
                std::string* posInfo, std::string* disInfo);
    // Connects, sends the request in `buf` (at most MAX_SEND_CALLS calls) and
    // reads the reply, its first receive into `buf`.
    bool Exchange(char* buf, int len, bool* accepted, std::string* posInfo, std::string* disInfo, std::string* extInfo);

    std::string host;
    unsigned short port = 0;
    int replyWaitMs = REPLY_WAIT_MS;
};
