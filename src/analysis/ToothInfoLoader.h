// Reads the three findings texts into a tooth map and writes tooth maps back
// out:
//   tooth boxes       one tooth per line: centre x, centre y, width, height, tooth
//   findings by tooth one tooth per line: tooth, code letters ("11,bc")
//   findings by code  one kind per line: code, "=", teeth ("b=11,36")
#pragma once

#include "analysis/FindingKind.h"
#include "analysis/SDataIOBase.h"
#include "analysis/ToothInfo.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

enum LoaderMode : int32_t {
    TOOTH_BOXES = 0,
    FINDINGS_BY_TOOTH = 1,
    FINDINGS_BY_CODE = 2,
};

// Orders finding kinds by FindingCodeOrder.
struct FindingCodeOrderLess {
    bool operator()(uint32_t a, uint32_t b) const;
};

// The tooth numbers of each finding kind.
using FindingTeethMap = std::map<uint32_t, std::vector<int>, FindingCodeOrderLess>;

// Owns no map: the caller attaches one and keeps it alive while the loader is
// used. Writable attachment: teethMap set, useConstTeethMap false (reading and
// RemoveMissingWisdomTeeth need it). Read-only attachment: constTeethMap set,
// useConstTeethMap true.
class CToothInfoLoader : public CSDataIOBase {
public:
    CToothInfoLoader();
    ~CToothInfoLoader() override;

    // Reads one line in the current mode. True but when memory ran out: a line
    // that lacks a column it needs is skipped and the rest of the text is read.
    bool OnRecord(int recordIndex, const std::string& line, std::vector<std::string>& fields) override;
    const char* GetDelimiters() override;

    // Reads one tooth-boxes line: the tooth gets a fresh record with its box.
    bool OnPositionRecord(int recordIndex, const std::string& line, std::vector<std::string>& fields);

    // The writers below fail, with empty outputs, when no map is attached or
    // memory ran out.

    // Writes the findings-by-tooth text of the teeth that pass `filter`.
    bool FormatToothFindings(unsigned filter, std::string& out) const;

    // `byCode` := the teeth of each kind of `filter` (every kind of the filter
    // but Unknown has an entry, Unknown only when a tooth carries it);
    // `others`, when given, := an empty entry for every kind outside the
    // filter but Unknown.
    bool GroupTeethByFinding(unsigned filter, FindingTeethMap& byCode, FindingTeethMap* others) const;

    // Writes the findings-by-code text of the teeth that pass `filter`.
    bool FormatFindingTeeth(unsigned filter, std::string& out) const;

    // Takes Missing off the wisdom teeth; one left with nothing else is erased.
    void RemoveMissingWisdomTeeth();

    // Reads an analysis reply into the attached map: the boxes, then the
    // findings of the teeth that have a box (the findings of a tooth without
    // one are dropped); Missing comes off the wisdom teeth unless
    // `keepMissingWisdomTeeth`. Leaves the loader reading findings of
    // existing teeth. A box, or a findings line, counts only with an FDI
    // tooth number. False, with the map empty, when memory ran out or when
    // the reply is a failed analysis: it names no tooth at all, its findings
    // hold lines and not one of them can be read, or they name a kind but
    // not one box could be read (such a reply says nothing about the teeth
    // it names).
    bool ReadReply(const char* toothBoxes, const char* findingsByTooth, bool keepMissingWisdomTeeth);

    // Reads a reply's findings-by-tooth text in the current mode, skipping
    // the lines of no FDI tooth number. False when memory ran out, or when
    // the reply tells of no tooth: the text holds lines and not one names a
    // tooth, or it names none and no box was read (`boxesRead` false).
    bool ReadReplyFindings(const char* findingsByTooth, bool boxesRead);

    ToothInfoMap* teethMap;
    const ToothInfoMap* constTeethMap;
    int32_t positionToothColumn;
    int32_t findingsToothColumn;
    int32_t centreXColumn;
    int32_t centreYColumn;
    int32_t widthColumn;
    int32_t heightColumn;
    int32_t codesColumn;
    int32_t kindCodesColumn;
    int32_t kindFirstToothColumn;
    int32_t headerRow; // lines numbered up to this one are skipped; -1 skips none
    LoaderMode loaderMode;
    bool onlyExisting; // reading findings skips teeth absent from the map
    bool useConstTeethMap;

private:
    bool ReadPositionRecord(int recordIndex, const std::string& line, std::vector<std::string>& fields);
    static void AppendToothFindings(const ToothInfoMap& source, unsigned filter, std::string& out);
    static void GroupTeeth(const ToothInfoMap& source, unsigned filter, FindingTeethMap& byCode,
                           FindingTeethMap* others);
    static void AppendFindingTeeth(const FindingTeethMap& byCode, std::string& out);
    bool OnFindingsRecord(const std::string& line, const std::vector<std::string>& fields);
    bool OnKindRecord(const std::vector<std::string>& fields);
    CToothInfo* FindingsTarget(int32_t tooth);
    const ToothInfoMap* SourceMap() const;

    // The findings lines of a reply: those with any text, and those of them
    // that named a tooth.
    struct ReplyLineCount {
        int32_t withText = 0;
        int32_t ofTeeth = 0;
    };
    // Counts while ReadReplyFindings reads; null otherwise.
    ReplyLineCount* replyLines = nullptr;
};

// The helpers below fail, with empty outputs, when memory ran out; the reply
// readers also for a failed analysis.

// CToothInfoLoader::ReadReply into `teeth`, with a loader of its own.
bool ReadAnalysisReply(ToothInfoMap& teeth, const char* toothBoxes, const char* findingsByTooth,
                       bool keepMissingWisdomTeeth);

// The loopback reply to an analysis request: the server's findings by tooth,
// of every tooth they name, regrouped as findings by code; a failed analysis
// as ReadReplyFindings tells it.
bool FindingsByCodeFromReply(const char* toothBoxes, const char* findingsByTooth, bool keepMissingWisdomTeeth,
                             std::string* findingsByCode);

// The loopback update request: a findings-by-code text as findings by tooth,
// the form the server takes.
bool FindingsByToothFromUpdate(const char* findingsByCode, std::string* findingsByTooth);

// The findings text's grouping of the displayed teeth.
bool GroupTeethForFindingsText(const ToothInfoMap& teeth, FindingTeethMap& byCode, FindingTeethMap& others);
