// The vocabulary of findings: the kinds, their code letters and bits, their
// display-name string ids and report placeholders, and the three fixed orders
// in which the kinds are walked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A finding mask holds one bit per kind. A mask of exactly FINDING_HEALTHY
// means nothing was found on the tooth.
enum FindingKind : uint32_t {
    FINDING_HEALTHY = 1,
    FINDING_CROWN_BRIDGE = 2,
    FINDING_IMPACTION = 4,
    FINDING_MISSING = 8,
    FINDING_PERIO = 16,
    FINDING_IMPLANT = 32,
    FINDING_CAVITY = 64,
    FINDING_APICAL_LESION = 128,
    FINDING_ENDODONTIC = 256,
    FINDING_FILLING = 512,
    FINDING_RR = 1024,
    FINDING_POST = 2048,
    FINDING_UNKNOWN = 4096,
};

// Every kind but Healthy.
constexpr uint32_t FILTER_ALL_FINDINGS = 0xFFFFFFFE;

constexpr size_t FINDING_KIND_COUNT = 13;
constexpr size_t FINDING_CODE_COUNT = 12;

// One row of the code table: every kind but Healthy, which callers test
// separately (its code is "0").
struct FindingCodeRow {
    const char* code;
    const char* name;
    FindingKind bit;
};

// Table order: b, i, m, p, c, a, e, f, j, r, t, ?.
extern const FindingCodeRow FindingCodeTable[FINDING_CODE_COUNT];

// Code order: p, b, c, a, i, m, j, r, e, f, t, ?. A fixed list of its own; the
// code-to-teeth text and the findings text's placeholders follow it.
extern const FindingKind FindingCodeOrder[FINDING_CODE_COUNT];

// What the user interface shows of a kind.
struct FindingKindInfo {
    FindingKind kind;
    unsigned stringId;       // the display name in the string table
    const char* placeholder; // the findings text's token; null for Healthy and Unknown
};

// Bit order: Healthy, b, i, m, p, j, c, a, e, f, r, t, ?.
extern const FindingKindInfo FindingKindsInBitOrder[FINDING_KIND_COUNT];

// The code letter of a single kind ("0" for Healthy); null for anything else.
const char* FindingCode(uint32_t kind);

// The user-interface entry of a single kind; null for anything else.
const FindingKindInfo* FindFindingKind(uint32_t kind);

// The mask of every kind whose code occurs anywhere in `codes`; only presence
// counts. An empty text, or one without any code, gives 0.
uint32_t ParseFindingCodes(const std::string& codes);
