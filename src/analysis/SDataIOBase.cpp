#include "analysis/SDataIOBase.h"

#include "analysis/OutOfMemory.h"

#include <cstring>

namespace {

const char DEFAULT_DELIMITERS[] = ",";
constexpr char LINE_END = '\n';
constexpr char SPACE = ' ';

} // namespace

CSDataIOBase::~CSDataIOBase() = default;

const char* CSDataIOBase::GetDelimiters()
{
    return DEFAULT_DELIMITERS;
}

bool CSDataIOBase::ParseText(const char* text)
{
    if (text == nullptr) {
        return true;
    }
    delimiters = GetDelimiters();
    delimiterCount = delimiters == nullptr ? 0 : static_cast<int32_t>(std::strlen(delimiters));
    outOfMemory = false;

    const bool read = FalseWhenOutOfMemory([&] {
        std::vector<std::string> fields;
        int recordIndex = 0;
        const char* lineStart = text;
        for (;;) {
            const char* lineEnd = std::strchr(lineStart, LINE_END);
            const std::string line =
                lineEnd == nullptr ? std::string(lineStart) : std::string(lineStart, lineEnd - lineStart);
            if (!SplitLine(line, &fields)) {
                return false;
            }
            if (!fields.empty() && !OnRecord(recordIndex, line, fields)) {
                break;
            }
            if (lineEnd == nullptr) {
                break;
            }
            lineStart = lineEnd + 1;
            ++recordIndex;
        }
        return true;
    });
    return read && !outOfMemory;
}

bool CSDataIOBase::SplitLine(const std::string& line, std::vector<std::string>* fields)
{
    return Tokenize(line, fields);
}

bool CSDataIOBase::Tokenize(const std::string& line, std::vector<std::string>* tokens)
{
    tokens->clear();
    const size_t length = std::strlen(line.c_str());
    if (length == 0) {
        return true;
    }
    const bool split = FalseWhenOutOfMemory([&] {
        std::string field;
        size_t heldSpaces = 0;
        for (size_t i = 0; i < length; ++i) {
            const char c = line[i];
            if (c == SPACE) {
                // Spaces count only once another character follows them in the field.
                if (!field.empty()) {
                    ++heldSpaces;
                }
            } else if (IsDelimiter(c)) {
                tokens->push_back(field);
                field.clear();
                heldSpaces = 0;
            } else {
                field.append(heldSpaces, SPACE);
                heldSpaces = 0;
                field += c;
            }
        }
        if (!IsDelimiter(line[length - 1])) {
            tokens->push_back(field);
        }
        return true;
    });
    if (!split) {
        tokens->clear();
    }
    return split;
}

bool CSDataIOBase::StopForLackOfMemory()
{
    outOfMemory = true;
    return false;
}

bool CSDataIOBase::IsDelimiter(char c) const
{
    return c != SPACE && delimiters != nullptr && std::memchr(delimiters, c, delimiterCount) != nullptr;
}
