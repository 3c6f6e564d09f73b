// Reads arbitrary bytes in each mode of the loader, writes the result both
// ways, takes Missing off the wisdom teeth, and checks that the tooth-to-codes
// text reads back into the same findings.
#include "analysis/ToothInfoLoader.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Read(CToothInfoLoader& loader, LoaderMode mode, bool onlyExisting, const std::string& text)
{
    loader.loaderMode = mode;
    loader.onlyExisting = onlyExisting;
    // Memory does not run out here: the read must succeed.
    if (!loader.ParseText(text.c_str())) {
        std::abort();
    }
}

void CheckWritersReadBack(const ToothInfoMap& teeth)
{
    CToothInfoLoader writer;
    writer.constTeethMap = &teeth;
    writer.useConstTeethMap = true;
    std::string byTooth;
    std::string byCode;
    FindingTeethMap groups;
    FindingTeethMap others;
    if (!writer.FormatToothFindings(FILTER_ALL_FINDINGS, byTooth) ||
        !writer.FormatFindingTeeth(FILTER_ALL_FINDINGS, byCode) ||
        !writer.GroupTeethByFinding(FILTER_ALL_FINDINGS, groups, &others)) {
        std::abort();
    }

    ToothInfoMap reread;
    CToothInfoLoader reader;
    reader.teethMap = &reread;
    Read(reader, FINDINGS_BY_TOOTH, false, byTooth);

    size_t withLetters = 0;
    for (const auto& entry : teeth) {
        const uint32_t mask = entry.second.findingMask;
        const uint32_t written = mask & FILTER_ALL_FINDINGS;
        if (mask == FINDING_HEALTHY || written == 0) {
            continue;
        }
        ++withLetters;
        const auto found = reread.find(entry.first);
        if (found == reread.end() || found->second.findingMask != written) {
            std::abort();
        }
    }
    if (reread.size() != withLetters) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const LoaderMode mode : {TOOTH_BOXES, FINDINGS_BY_TOOTH, FINDINGS_BY_CODE}) {
        ToothInfoMap teeth;
        CToothInfoLoader loader;
        loader.teethMap = &teeth;
        Read(loader, mode, false, text);
        // Over the teeth just read, the findings modes also take their
        // only-existing road.
        Read(loader, FINDINGS_BY_TOOTH, true, text);
        Read(loader, FINDINGS_BY_CODE, true, text);
        CheckWritersReadBack(teeth);
        loader.RemoveMissingWisdomTeeth();
        CheckWritersReadBack(teeth);
    }
    return 0;
}
