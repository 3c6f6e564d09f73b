#include "analysis/FindingKind.h"

#include "res/resource.h"

const FindingCodeRow FindingCodeTable[FINDING_CODE_COUNT] = {
    {"b", "Crown_and_Bridge", FINDING_CROWN_BRIDGE},
    {"i", "Impaction", FINDING_IMPACTION},
    {"m", "Missing", FINDING_MISSING},
    {"p", "Periodontitis", FINDING_PERIO},
    {"c", "Cavity", FINDING_CAVITY},
    {"a", "Apical_lesion", FINDING_APICAL_LESION},
    {"e", "Endodontic", FINDING_ENDODONTIC},
    {"f", "Filling", FINDING_FILLING},
    {"j", "Implant", FINDING_IMPLANT},
    {"r", "R.R.", FINDING_RR},
    {"t", "Post", FINDING_POST},
    {"?", "Unknown", FINDING_UNKNOWN},
};

const FindingKind FindingCodeOrder[FINDING_CODE_COUNT] = {
    FINDING_PERIO,      FINDING_CROWN_BRIDGE, FINDING_CAVITY,  FINDING_APICAL_LESION,
    FINDING_IMPACTION,  FINDING_MISSING,      FINDING_IMPLANT, FINDING_RR,
    FINDING_ENDODONTIC, FINDING_FILLING,      FINDING_POST,    FINDING_UNKNOWN,
};

const FindingKindInfo FindingKindsInBitOrder[FINDING_KIND_COUNT] = {
    {FINDING_HEALTHY, IDS_FINDING_HEALTHY, nullptr},
    {FINDING_CROWN_BRIDGE, IDS_FINDING_CROWN_BRIDGE, "[%bbb%]"},
    {FINDING_IMPACTION, IDS_FINDING_IMPACTION, "[%iii%]"},
    {FINDING_MISSING, IDS_FINDING_MISSING, "[%mmm%]"},
    {FINDING_PERIO, IDS_FINDING_PERIO, "[%ppp%]"},
    {FINDING_IMPLANT, IDS_FINDING_IMPLANT, "[%jjj%]"},
    {FINDING_CAVITY, IDS_FINDING_CAVITY, "[%ccc%]"},
    {FINDING_APICAL_LESION, IDS_FINDING_APICAL_LESION, "[%aaa%]"},
    {FINDING_ENDODONTIC, IDS_FINDING_ENDODONTIC, "[%eee%]"},
    {FINDING_FILLING, IDS_FINDING_FILLING, "[%fff%]"},
    {FINDING_RR, IDS_FINDING_RR, "[%rrr%]"},
    {FINDING_POST, IDS_FINDING_POST, "[%ttt%]"},
    {FINDING_UNKNOWN, IDS_FINDING_UNKNOWN, nullptr},
};

namespace {

const char HEALTHY_CODE[] = "0";

} // namespace

const char* FindingCode(uint32_t kind)
{
    if (kind == FINDING_HEALTHY) {
        return HEALTHY_CODE;
    }
    for (const FindingCodeRow& row : FindingCodeTable) {
        if (row.bit == kind) {
            return row.code;
        }
    }
    return nullptr;
}

const FindingKindInfo* FindFindingKind(uint32_t kind)
{
    for (const FindingKindInfo& info : FindingKindsInBitOrder) {
        if (info.kind == kind) {
            return &info;
        }
    }
    return nullptr;
}

uint32_t ParseFindingCodes(const std::string& codes)
{
    uint32_t mask = 0;
    for (const FindingCodeRow& row : FindingCodeTable) {
        if (codes.find(row.code[0]) != std::string::npos) {
            mask |= row.bit;
        }
    }
    if (codes.find(HEALTHY_CODE[0]) != std::string::npos) {
        mask |= FINDING_HEALTHY;
    }
    return mask;
}
