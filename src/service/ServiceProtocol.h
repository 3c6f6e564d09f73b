// The loopback request protocol: one "PTL1" request frame per connection on
// 127.0.0.1:5556, answered by at most one "RPT1" reply frame. The frames and
// their fields follow the field rules of analysis/TextField.h.
#pragma once

constexpr unsigned short SERVICE_PORT = 5556;
constexpr char SERVICE_ADDRESS[] = "127.0.0.1";
constexpr int SERVICE_BACKLOG = 5;

constexpr char KEY_REQUEST_FRAME[] = "PTL1";
constexpr char KEY_REPLY_FRAME[] = "RPT1";

// Command fields of a request.
constexpr char CMD_NEW[] = "NEW";
constexpr char CMD_NEWSHARP[] = "NEWSHARP";
constexpr char CMD_NEWSMART[] = "NEWSMART";
constexpr char CMD_UPDATE[] = "UPDATE";
constexpr char CMD_SHUTDOWN[] = "SHUTDOWN";

// Fields of UPDATE and of the replies.
constexpr char FIELD_GUID[] = "GUID";
constexpr char FIELD_DISINFO[] = "DISINFO";
constexpr char FIELD_CODE[] = "CODE";
constexpr char FIELD_SHARP[] = "SHARP";

// The payload of a result reply is built in this many bytes, its terminating
// NUL included.
constexpr int REPLY_PAYLOAD_SIZE = 2048;

// A request is a command with a path or a findings text: a frame announcing a
// longer payload is refused before anything is allocated for it.
constexpr int MAX_REQUEST_LEN = 64 * 1024;

// The whole request must arrive within this time; a client that is slower or
// silent is closed without a reply, so that it cannot hold the server (and
// the stop request waiting behind it).
constexpr int REQUEST_READ_WAIT_MS = 10 * 1000;

// A client that stops reading cannot hold a reply's send longer than this.
constexpr int REPLY_SEND_WAIT_MS = 10 * 1000;

// How long the service waits for the analysis server's reply. Longer than a
// real analysis takes; a silent server fails the request instead of holding
// the service.
constexpr int ANALYSIS_REPLY_WAIT_MS = 30 * 1000;

// How long closing the service dialog waits for the server to stop after
// sending it the stop request.
constexpr unsigned long SERVICE_STOP_WAIT_MS = 3000;
