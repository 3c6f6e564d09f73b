#include "analysis/TextField.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// The byte index of the first ';' from `from` on, or -1 when a NUL or the end
// of the data comes first.
int FindSeparator(const char* data, int dataLen, int from)
{
    for (int i = from; i < dataLen && data[i] != '\0'; ++i) {
        if (data[i] == ';') {
            return i;
        }
    }
    return -1;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi's reading of [begin, end), saturated at the limits of int: a LEN of
// many digits comes from the wire and must not overflow.
int ReadDecimal(const char* begin, const char* end)
{
    while (begin < end && IsSpace(*begin)) {
        ++begin;
    }
    bool negative = false;
    if (begin < end && (*begin == '+' || *begin == '-')) {
        negative = *begin == '-';
        ++begin;
    }
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; begin < end && *begin >= '0' && *begin <= '9'; ++begin) {
        magnitude = magnitude * 10 + (*begin - '0');
        if (magnitude >= limit) {
            magnitude = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

} // namespace

int FormatFieldHeader(char* out, int outSize, const char* key, long valueLen)
{
    if (out == nullptr || outSize < 1 || key == nullptr) {
        return 0;
    }
    const int bound = outSize < MAX_FIELD_HEADER ? outSize : MAX_FIELD_HEADER;
    const int length = std::snprintf(out, static_cast<size_t>(bound), "%s;%ld;", key, valueLen);
    if (length <= 0 || length >= bound) {
        return 0;
    }
    return length;
}

int FormatField(char* out, int outSize, const char* key, const char* value)
{
    const size_t valueLen = value == nullptr ? 0 : std::strlen(value);
    if (valueLen >= static_cast<size_t>(INT_MAX)) {
        return 0;
    }
    const int headerLen = FormatFieldHeader(out, outSize, key, static_cast<long>(valueLen));
    if (headerLen == 0) {
        return 0;
    }
    if (value == nullptr) {
        return headerLen;
    }
    if (static_cast<long long>(headerLen) + static_cast<long long>(valueLen) >= outSize) {
        return 0;
    }
    std::memcpy(out + headerLen, value, valueLen + 1);
    return headerLen + static_cast<int>(valueLen);
}

bool ParseFieldHeader(const char* data, int dataLen, std::string* key, int* valueLen, int* headerLen)
{
    if (data == nullptr || dataLen < 1) {
        return false;
    }
    const int first = FindSeparator(data, dataLen, 0);
    if (first < 0) {
        return false;
    }
    const int second = FindSeparator(data, dataLen, first + 1);
    if (second < 0) {
        return false;
    }
    try {
        key->assign(data, static_cast<size_t>(first));
    } catch (const std::bad_alloc&) {
        return false;
    }
    *valueLen = ReadDecimal(data + first + 1, data + second);
    *headerLen = second + 1;
    return true;
}

bool ReadField(const char* data, int dataLen, TextField* field)
{
    int valueLen = 0;
    int headerLen = 0;
    if (!ParseFieldHeader(data, dataLen, &field->key, &valueLen, &headerLen)) {
        return false;
    }
    if (valueLen < 0 || valueLen > dataLen - headerLen) {
        return false;
    }
    field->value = data + headerLen;
    field->valueLen = valueLen;
    field->size = headerLen + valueLen;
    return true;
}
