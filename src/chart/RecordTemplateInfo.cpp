#include "chart/RecordTemplateInfo.h"

CRecordTemplateInfo::CRecordTemplateInfo() = default;

CRecordTemplateInfo::~CRecordTemplateInfo() = default;
