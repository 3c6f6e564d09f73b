#include "analysis/ToothInfoLoader.h"

#include "analysis/OutOfMemory.h"

#include <algorithm>
#include <climits>

namespace {

const char FIELD_DELIMITERS[] = ",";
const char KIND_LINE_DELIMITERS[] = ",=";
constexpr size_t WRITTEN_TOOTH_DIGITS = 3;
constexpr int32_t WISDOM_TEETH[] = {18, 28, 38, 48};
constexpr int32_t FIRST_QUADRANT = 1;
constexpr int32_t LAST_QUADRANT = 4;
constexpr int32_t FIRST_POSITION = 1;
constexpr int32_t LAST_POSITION = 8;

bool IsNumberSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int32_t ClampToInt32(int64_t value)
{
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(value, INT32_MIN), INT32_MAX));
}

// Reads a number the way atoi does (leading white space, an optional sign,
// digits up to the first other character, 0 without digits), except that a
// number beyond 32 bits saturates instead of being undefined.
int32_t ReadNumber(const std::string& field)
{
    size_t i = 0;
    while (i < field.size() && IsNumberSpace(field[i])) {
        ++i;
    }
    bool negative = false;
    if (i < field.size() && (field[i] == '-' || field[i] == '+')) {
        negative = field[i] == '-';
        ++i;
    }
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t magnitude = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        magnitude = std::min<int64_t>(magnitude * 10 + (field[i] - '0'), limit);
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

bool HasColumn(const std::vector<std::string>& fields, int32_t column)
{
    return column >= 0 && static_cast<size_t>(column) < fields.size();
}

// An FDI number of a permanent tooth: quadrant 1 to 4, then position 1 to 8.
bool IsToothNumber(int32_t tooth)
{
    const int32_t quadrant = tooth / 10;
    const int32_t position = tooth % 10;
    return quadrant >= FIRST_QUADRANT && quadrant <= LAST_QUADRANT && position >= FIRST_POSITION &&
           position <= LAST_POSITION;
}

bool HoldsText(const std::string& line)
{
    return std::any_of(line.begin(), line.end(), [](char c) { return !IsNumberSpace(c); });
}

// An empty codes field holds no kind at all; one without any code is Healthy.
uint32_t ReadCodesMask(const std::string& field)
{
    if (field.empty()) {
        return 0;
    }
    const uint32_t mask = ParseFindingCodes(field);
    return mask == 0 ? FINDING_HEALTHY : mask;
}

size_t CodeOrderPlace(uint32_t kind)
{
    return std::find(std::begin(FindingCodeOrder), std::end(FindingCodeOrder), kind) - std::begin(FindingCodeOrder);
}

} // namespace

bool FindingCodeOrderLess::operator()(uint32_t a, uint32_t b) const
{
    const size_t placeA = CodeOrderPlace(a);
    const size_t placeB = CodeOrderPlace(b);
    return placeA != placeB ? placeA < placeB : a < b;
}

CToothInfoLoader::CToothInfoLoader()
    : teethMap(nullptr), constTeethMap(nullptr), positionToothColumn(4), findingsToothColumn(0), centreXColumn(0),
      centreYColumn(1), widthColumn(2), heightColumn(3), codesColumn(1), kindCodesColumn(0), kindFirstToothColumn(1),
      headerRow(-1), loaderMode(TOOTH_BOXES), onlyExisting(true), useConstTeethMap(false)
{
}

CToothInfoLoader::~CToothInfoLoader() = default;

const char* CToothInfoLoader::GetDelimiters()
{
    return loaderMode == FINDINGS_BY_CODE ? KIND_LINE_DELIMITERS : FIELD_DELIMITERS;
}

bool CToothInfoLoader::OnRecord(int recordIndex, const std::string& line, std::vector<std::string>& fields)
{
    if (teethMap == nullptr || recordIndex <= headerRow) {
        return true;
    }
    try {
        switch (loaderMode) {
        case TOOTH_BOXES:
            return OnPositionRecord(recordIndex, line, fields);
        case FINDINGS_BY_TOOTH:
            return OnFindingsRecord(line, fields);
        case FINDINGS_BY_CODE:
            return OnKindRecord(fields);
        }
    } catch (const std::bad_alloc&) {
        return StopForLackOfMemory();
    }
    return true;
}

bool CToothInfoLoader::OnPositionRecord(int recordIndex, const std::string& line, std::vector<std::string>& fields)
{
    try {
        return ReadPositionRecord(recordIndex, line, fields);
    } catch (const std::bad_alloc&) {
        return StopForLackOfMemory();
    }
}

bool CToothInfoLoader::ReadPositionRecord(int recordIndex, const std::string&, std::vector<std::string>& fields)
{
    if (teethMap == nullptr || recordIndex <= headerRow || !HasColumn(fields, positionToothColumn)) {
        return true;
    }
    // A header, a line of another format or a number of no tooth would
    // otherwise file a box that stands for no tooth of the patient.
    const int32_t tooth = ReadNumber(fields[positionToothColumn]);
    if (!IsToothNumber(tooth) || !HasColumn(fields, widthColumn)) {
        return true;
    }
    const int32_t width = ReadNumber(fields[widthColumn]);
    if (width < 0 || !HasColumn(fields, heightColumn)) {
        return true;
    }
    const int32_t height = ReadNumber(fields[heightColumn]);
    if (height < 0 || !HasColumn(fields, centreXColumn)) {
        return true;
    }
    const int64_t left = static_cast<int64_t>(ReadNumber(fields[centreXColumn])) - width / 2;
    if (!HasColumn(fields, centreYColumn)) {
        return true;
    }
    const int64_t top = static_cast<int64_t>(ReadNumber(fields[centreYColumn])) - height / 2;

    // Numbers from a hostile text can put a box edge beyond 32 bits: it stops
    // at the edge of the range rather than wrapping around.
    CToothInfo record;
    record.imageBox.left = ClampToInt32(left);
    record.imageBox.top = ClampToInt32(top);
    record.imageBox.right = ClampToInt32(left + width);
    record.imageBox.bottom = ClampToInt32(top + height);
    record.toothNumber = tooth;
    (*teethMap)[static_cast<uint32_t>(tooth)] = record;
    return true;
}

CToothInfo* CToothInfoLoader::FindingsTarget(int32_t tooth)
{
    const uint32_t key = static_cast<uint32_t>(tooth);
    if (onlyExisting) {
        const auto found = teethMap->find(key);
        return found == teethMap->end() ? nullptr : &found->second;
    }
    CToothInfo& record = (*teethMap)[key];
    record.toothNumber = tooth;
    return &record;
}

bool CToothInfoLoader::OnFindingsRecord(const std::string& line, const std::vector<std::string>& fields)
{
    if (replyLines != nullptr && HoldsText(line)) {
        ++replyLines->withText;
    }
    if (!HasColumn(fields, findingsToothColumn)) {
        return true;
    }
    const int32_t tooth = ReadNumber(fields[findingsToothColumn]);
    if (replyLines != nullptr) {
        if (!IsToothNumber(tooth)) {
            return true;
        }
        ++replyLines->ofTeeth;
    }
    CToothInfo* record = FindingsTarget(tooth);
    if (record != nullptr && HasColumn(fields, codesColumn)) {
        record->findingMask = ReadCodesMask(fields[codesColumn]);
    }
    return true;
}

bool CToothInfoLoader::OnKindRecord(const std::vector<std::string>& fields)
{
    if (!HasColumn(fields, kindCodesColumn) || !HasColumn(fields, kindFirstToothColumn)) {
        return true;
    }
    const uint32_t mask = ReadCodesMask(fields[kindCodesColumn]);
    for (size_t column = static_cast<size_t>(kindFirstToothColumn); column < fields.size(); ++column) {
        CToothInfo* record = FindingsTarget(ReadNumber(fields[column]));
        if (record == nullptr) {
            continue;
        }
        if (record->findingMask == FINDING_HEALTHY) {
            record->findingMask = mask;
        } else {
            record->findingMask |= mask;
        }
    }
    return true;
}

const ToothInfoMap* CToothInfoLoader::SourceMap() const
{
    return useConstTeethMap ? constTeethMap : teethMap;
}

bool CToothInfoLoader::FormatToothFindings(unsigned filter, std::string& out) const
{
    out.clear();
    const ToothInfoMap* source = SourceMap();
    if (source == nullptr) {
        return false;
    }
    try {
        AppendToothFindings(*source, filter, out);
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    return true;
}

void CToothInfoLoader::AppendToothFindings(const ToothInfoMap& source, unsigned filter, std::string& out)
{
    for (const auto& entry : source) {
        const CToothInfo& record = entry.second;
        if (record.findingMask == FINDING_HEALTHY) {
            continue;
        }
        const uint32_t kinds = record.findingMask & filter;
        std::string letters;
        for (const FindingCodeRow& row : FindingCodeTable) {
            if ((kinds & row.bit) != 0) {
                letters += row.code;
            }
        }
        if (!letters.empty()) {
            out += std::to_string(record.toothNumber) + "," + letters + "\n";
        }
    }
}

bool CToothInfoLoader::GroupTeethByFinding(unsigned filter, FindingTeethMap& byCode, FindingTeethMap* others) const
{
    byCode.clear();
    if (others != nullptr) {
        others->clear();
    }
    const ToothInfoMap* source = SourceMap();
    if (source == nullptr) {
        return false;
    }
    try {
        GroupTeeth(*source, filter, byCode, others);
    } catch (const std::bad_alloc&) {
        byCode.clear();
        if (others != nullptr) {
            others->clear();
        }
        return false;
    }
    return true;
}

void CToothInfoLoader::GroupTeeth(const ToothInfoMap& source, unsigned filter, FindingTeethMap& byCode,
                                  FindingTeethMap* others)
{
    for (const auto& entry : source) {
        const CToothInfo& record = entry.second;
        if (record.findingMask == FINDING_HEALTHY) {
            continue;
        }
        const uint32_t kinds = record.findingMask & filter;
        for (const FindingCodeRow& row : FindingCodeTable) {
            if ((kinds & row.bit) != 0) {
                byCode[row.bit].push_back(record.toothNumber);
            }
        }
    }
    // Every kind of the filter gets its entry, with teeth or without; Unknown
    // only when a tooth carries it.
    for (const FindingCodeRow& row : FindingCodeTable) {
        if (row.bit == FINDING_UNKNOWN) {
            continue;
        }
        if ((filter & row.bit) != 0) {
            byCode[row.bit];
        } else if (others != nullptr) {
            (*others)[row.bit];
        }
    }
}

bool CToothInfoLoader::FormatFindingTeeth(unsigned filter, std::string& out) const
{
    out.clear();
    const bool written = FalseWhenOutOfMemory([&] {
        FindingTeethMap byCode;
        if (!GroupTeethByFinding(filter, byCode, nullptr)) {
            return false;
        }
        AppendFindingTeeth(byCode, out);
        return true;
    });
    if (!written) {
        out.clear();
    }
    return written;
}

void CToothInfoLoader::AppendFindingTeeth(const FindingTeethMap& byCode, std::string& out)
{
    for (const auto& entry : byCode) {
        const std::vector<int>& teeth = entry.second;
        if (teeth.empty()) {
            continue;
        }
        out += FindingCode(entry.first);
        const char* separator = "=";
        for (const int tooth : teeth) {
            out += separator;
            out += std::to_string(tooth).substr(0, WRITTEN_TOOTH_DIGITS);
            separator = ",";
        }
        out += "\n";
    }
}

void CToothInfoLoader::RemoveMissingWisdomTeeth()
{
    if (useConstTeethMap || teethMap == nullptr) {
        return;
    }
    for (const int32_t tooth : WISDOM_TEETH) {
        const auto found = teethMap->find(static_cast<uint32_t>(tooth));
        if (found == teethMap->end() || (found->second.findingMask & FINDING_MISSING) == 0) {
            continue;
        }
        const uint32_t rest = found->second.findingMask & ~static_cast<uint32_t>(FINDING_MISSING);
        if ((rest & ~static_cast<uint32_t>(FINDING_HEALTHY)) == 0) {
            teethMap->erase(found);
        } else {
            found->second.findingMask = rest;
        }
    }
}

bool CToothInfoLoader::ReadReplyFindings(const char* findingsByTooth, bool boxesRead)
{
    ReplyLineCount lines;
    replyLines = &lines;
    const bool read = ParseText(findingsByTooth);
    replyLines = nullptr;
    // No tooth seen is no healthy dentition, and findings of which not one
    // line can be read say nothing at all.
    return read && (lines.ofTeeth > 0 || (boxesRead && lines.withText == 0));
}

bool CToothInfoLoader::ReadReply(const char* toothBoxes, const char* findingsByTooth, bool keepMissingWisdomTeeth)
{
    if (useConstTeethMap || teethMap == nullptr) {
        return false;
    }
    teethMap->clear();
    loaderMode = TOOTH_BOXES;
    bool read = ParseText(toothBoxes);
    const bool boxesRead = !teethMap->empty();
    loaderMode = FINDINGS_BY_TOOTH;
    // Without a box the findings go into the empty map only to tell whether
    // they name any kind but Healthy.
    onlyExisting = boxesRead;
    read = read && ReadReplyFindings(findingsByTooth, boxesRead);
    onlyExisting = true;
    if (!boxesRead) {
        const bool namesKinds = std::any_of(teethMap->begin(), teethMap->end(), [](const auto& entry) {
            return (entry.second.findingMask & FILTER_ALL_FINDINGS) != 0;
        });
        teethMap->clear();
        return read && !namesKinds;
    }
    if (!read) {
        teethMap->clear();
        return false;
    }
    if (!keepMissingWisdomTeeth) {
        RemoveMissingWisdomTeeth();
    }
    return true;
}

bool ReadAnalysisReply(ToothInfoMap& teeth, const char* toothBoxes, const char* findingsByTooth,
                       bool keepMissingWisdomTeeth)
{
    CToothInfoLoader loader;
    loader.teethMap = &teeth;
    return loader.ReadReply(toothBoxes, findingsByTooth, keepMissingWisdomTeeth);
}

bool FindingsByCodeFromReply(const char* toothBoxes, const char* findingsByTooth, bool keepMissingWisdomTeeth,
                             std::string* findingsByCode)
{
    findingsByCode->clear();
    return FalseWhenOutOfMemory([&] {
        ToothInfoMap teeth;
        CToothInfoLoader loader;
        loader.teethMap = &teeth;
        loader.loaderMode = TOOTH_BOXES;
        if (!loader.ParseText(toothBoxes)) {
            return false;
        }
        const bool boxesRead = !teeth.empty();
        teeth.clear();
        loader.loaderMode = FINDINGS_BY_TOOTH;
        loader.onlyExisting = false;
        if (!loader.ReadReplyFindings(findingsByTooth, boxesRead)) {
            return false;
        }
        if (!keepMissingWisdomTeeth) {
            loader.RemoveMissingWisdomTeeth();
        }
        return loader.FormatFindingTeeth(FILTER_ALL_FINDINGS, *findingsByCode);
    });
}

bool FindingsByToothFromUpdate(const char* findingsByCode, std::string* findingsByTooth)
{
    findingsByTooth->clear();
    return FalseWhenOutOfMemory([&] {
        ToothInfoMap teeth;
        CToothInfoLoader loader;
        loader.teethMap = &teeth;
        loader.loaderMode = FINDINGS_BY_CODE;
        loader.onlyExisting = false;
        return loader.ParseText(findingsByCode) && loader.FormatToothFindings(FILTER_ALL_FINDINGS, *findingsByTooth);
    });
}

bool GroupTeethForFindingsText(const ToothInfoMap& teeth, FindingTeethMap& byCode, FindingTeethMap& others)
{
    CToothInfoLoader loader;
    loader.constTeethMap = &teeth;
    loader.useConstTeethMap = true;
    return loader.GroupTeethByFinding(FILTER_ALL_FINDINGS, byCode, &others);
}
