// Where the analysis server is: fixed in the program, its address chosen when
// the program is built.
#pragma once

constexpr const char* kAnalysisServerHost = QUILL_ANALYSIS_SERVER_HOST;
constexpr unsigned short ANALYSIS_SERVER_PORT = 5555;
