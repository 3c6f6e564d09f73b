#include "service/ServiceRequest.h"

#include "analysis/SocketIo.h"
#include "analysis/TextField.h"
#include "service/ServiceProtocol.h"

namespace {

// Values go on as NUL-terminated text: a NUL inside would cut one short, and
// a path would then name another file than the one asked for.
bool TakeText(const TextField& field, std::string* out)
{
    out->assign(field.value, static_cast<size_t>(field.valueLen));
    return out->find('\0') == std::string::npos;
}

// UPDATE's fields begin right behind its own header: its value (empty as the
// clients send it) is not skipped.
bool ParseUpdateFields(const char* fields, int len, SServiceRequest* req)
{
    bool haveGuid = false;
    bool haveDisInfo = false;
    TextField field;
    for (int rest = len; rest >= 1; fields += field.size, rest -= field.size) {
        if (!ReadField(fields, rest, &field)) {
            return false;
        }
        if (field.key == FIELD_GUID) {
            if (field.valueLen == 0 || !TakeText(field, &req->guid)) {
                return false;
            }
            haveGuid = true;
        } else if (field.key == FIELD_DISINFO) {
            if (!TakeText(field, &req->disInfo)) {
                return false;
            }
            haveDisInfo = true;
        }
        if (haveGuid && haveDisInfo) {
            req->command = COMMAND_UPDATE;
            return true;
        }
    }
    return false;
}

} // namespace

bool ParseRequestPayload(const char* payload, int len, SServiceRequest* req)
{
    req->command = COMMAND_NONE;
    TextField command;
    if (!ReadField(payload, len, &command)) {
        return false;
    }
    if (command.key == CMD_NEW || command.key == CMD_NEWSHARP || command.key == CMD_NEWSMART) {
        if (!TakeText(command, &req->imagePath) || req->imagePath.empty()) {
            return false;
        }
        req->command = command.key == CMD_NEW        ? COMMAND_NEW
                       : command.key == CMD_NEWSHARP ? COMMAND_NEWSHARP
                                                     : COMMAND_NEWSMART;
        return true;
    }
    if (command.key == CMD_SHUTDOWN) {
        req->command = COMMAND_SHUTDOWN;
        return true;
    }
    if (command.key == CMD_UPDATE) {
        const int headerLen = command.size - command.valueLen;
        return ParseUpdateFields(payload + headerLen, len - headerLen, req);
    }
    return false;
}

bool ReceiveRequest(SOCKET* client, SServiceRequest* req, int waitMs)
{
    req->command = COMMAND_NONE;
    TextFrame frame;
    if (!RecvFrame(client, nullptr, 0, KEY_REQUEST_FRAME, &frame.data, &frame.len, &frame.offset, MAX_REQUEST_LEN,
                   waitMs)) {
        return false;
    }
    return ParseRequestPayload(frame.Value(nullptr), frame.len, req);
}
