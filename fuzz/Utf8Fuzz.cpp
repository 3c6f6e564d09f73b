// Arbitrary bytes through the UTF-8 decoder and arbitrary UTF-16 units
// through the encoder: the conversion must be stable, lossless on well-formed
// input, and agree between the UTF-16 and the wide forms.
#include "foundation/Utf8.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string text = Utf8ToUtf16(bytes);
    const std::string encoded = Utf16ToUtf8(text);
    if (Utf8ToUtf16(encoded) != text) {
        abort();
    }
    if (text.find(u'\uFFFD') == std::u16string::npos && encoded != bytes) {
        abort();
    }
    if (WideToUtf8(Utf8ToWide(bytes)) != encoded) {
        abort();
    }

    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * sizeof(char16_t));
    const std::string unitsEncoded = Utf16ToUtf8(units);
    if (Utf16ToUtf8(Utf8ToUtf16(unitsEncoded)) != unitsEncoded) {
        abort();
    }
    return 0;
}
