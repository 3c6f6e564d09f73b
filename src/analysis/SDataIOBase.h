// The base of the line-and-field text parsers: cuts a narrow text into lines
// at "\n" and each line into fields at the subclass's delimiters, and hands
// every line that has fields to the subclass.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CSDataIOBase {
public:
    virtual ~CSDataIOBase();

    // One line (numbered from 0, empty lines counted) with its fields; false
    // stops the parse.
    virtual bool OnRecord(int recordIndex, const std::string& line, std::vector<std::string>& fields) = 0;

    // The delimiter characters; asked once at the start of each ParseText.
    virtual const char* GetDelimiters();

    // Reads a NUL-terminated text; null parses nothing. False only when memory
    // ran out, by here or by OnRecord (StopForLackOfMemory): the lines before
    // were handed on.
    bool ParseText(const char* text);

    // `fields` := the fields of `line`. False (and no fields) only when memory
    // ran out.
    bool SplitLine(const std::string& line, std::vector<std::string>* fields);

    // The field rule, with the delimiters of the last ParseText: a delimiter
    // ends a field (empty ones too), a space never does and is dropped around
    // a field, every other byte is field text, and a delimiter that ends the
    // line leaves no empty field after it. False (and no tokens) only when
    // memory ran out.
    bool Tokenize(const std::string& line, std::vector<std::string>* tokens);

protected:
    // For OnRecord when memory ran out: stops the parse, and ParseText fails.
    bool StopForLackOfMemory();

private:
    bool IsDelimiter(char c) const;

    const char* delimiters = nullptr;
    int32_t delimiterCount = 0;
    bool outOfMemory = false;
};
