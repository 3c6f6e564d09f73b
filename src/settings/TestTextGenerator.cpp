#include "settings/TestTextGenerator.h"

namespace {

constexpr char TEST_TEXT_ALPHABET[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int TEST_TEXT_ALPHABET_SIZE = sizeof TEST_TEXT_ALPHABET - 1;

// A linear congruential sequence whose upper bits give the 15-bit values.
constexpr uint32_t RANDOM_MULTIPLIER = 214013;
constexpr uint32_t RANDOM_INCREMENT = 2531011;
constexpr int RANDOM_SHIFT = 16;

} // namespace

CTestTextGenerator::CTestTextGenerator(uint32_t seed) : state(seed) {}

std::string CTestTextGenerator::Next()
{
    return MakeText([this] { return NextRandom(); });
}

int CTestTextGenerator::NextRandom()
{
    state = state * RANDOM_MULTIPLIER + RANDOM_INCREMENT;
    return static_cast<int>((state >> RANDOM_SHIFT) & TEST_RANDOM_MAX);
}

std::string CTestTextGenerator::MakeText(const std::function<int()>& random)
{
    std::string text;
    text.reserve(TEST_TEXT_LENGTH);
    int value = 0;
    int index = 1;
    for (size_t position = 0; position < TEST_TEXT_LENGTH; ++position) {
        const int divisor = index + 2;
        // Masked, so that a source beyond the range cannot index outside the alphabet.
        value = value < divisor ? random() & TEST_RANDOM_MAX : value / divisor;
        index = value % TEST_TEXT_ALPHABET_SIZE;
        text += TEST_TEXT_ALPHABET[index];
    }
    return text;
}
