// The texts that the client-to-server transfer test sends and expects back
// unchanged: digits and ASCII letters drawn from a 15-bit pseudo-random
// sequence of our own, so that every build and every platform makes the same
// texts from the same seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

constexpr size_t TEST_TEXT_LENGTH = 45;
// The random values run from 0 to this.
constexpr int TEST_RANDOM_MAX = 32767;

class CTestTextGenerator {
public:
    explicit CTestTextGenerator(uint32_t seed);

    // The next text of this generator's sequence.
    std::string Next();

    // The text that the values of `random` (0 to TEST_RANDOM_MAX) make. One
    // value serves several characters, divided down by the last character's
    // index plus two until it is smaller than that divisor; only then is a
    // fresh value drawn.
    static std::string MakeText(const std::function<int()>& random);

private:
    int NextRandom();

    uint32_t state;
};
