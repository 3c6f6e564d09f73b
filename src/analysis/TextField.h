// Fields and frames, the unit of both socket protocols: KEY;LEN;VALUE, where
// LEN is the value's length in decimal and the value is LEN raw bytes. A frame
// is a field whose value is itself a run of fields.
#pragma once

#include <memory>
#include <string>

// A field header with its terminating NUL never needs more than this.
constexpr int MAX_FIELD_HEADER = 50;
// The first read of a frame, and the block size of the uploads.
constexpr int FRAME_BUFFER_SIZE = 8192;

// One field as it lies in a buffer; `value` points into that buffer.
struct TextField {
    std::string key;
    const char* value = nullptr;
    int valueLen = 0;
    // Header and value together: where the next field begins.
    int size = 0;
};

// The value of a received frame: in `data` at `offset`, or in the receiver's
// own buffer at `offset` when `data` is empty (the value came with the first
// receive and was not copied).
struct TextFrame {
    std::shared_ptr<char[]> data;
    int offset = 0;
    int len = 0;

    const char* Value(const char* receiveBuffer) const { return (data ? data.get() : receiveBuffer) + offset; }
};

// Writes "KEY;LEN;" NUL-terminated into `out`; the number of bytes before the
// NUL, or 0 when the header is 50 bytes or longer or does not fit in `outSize`.
int FormatFieldHeader(char* out, int outSize, const char* key, long valueLen);

// Writes one field, the value taken up to its NUL (null: LEN 0), followed by a
// NUL. The number of bytes before the NUL, or 0 when anything does not fit.
int FormatField(char* out, int outSize, const char* key, const char* value);

// Reads the header at the start of `data`, searching no further than `dataLen`
// bytes and stopping at a NUL. LEN is read as atoi reads it, except that a run
// of digits too long for an int saturates instead of overflowing. A key that
// cannot be held in memory fails the read.
bool ParseFieldHeader(const char* data, int dataLen, std::string* key, int* valueLen, int* headerLen);

// Reads the whole field at the start of `data`: false when its header is
// incomplete, its LEN negative or its value runs past `dataLen`.
bool ReadField(const char* data, int dataLen, TextField* field);
