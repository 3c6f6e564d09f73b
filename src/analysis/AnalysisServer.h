// Where the analysis server is (fixed in the program, its address chosen when
// the program is built) and the keys of the fields it exchanges with us.
#pragma once

constexpr const char* kAnalysisServerHost = QUILL_ANALYSIS_SERVER_HOST;
constexpr unsigned short ANALYSIS_SERVER_PORT = 5555;

// Fields of the requests; "#@DISINFO@#" comes back in the reply as well.
constexpr char KEY_GUID[] = "#@GUID@#";
constexpr char KEY_MACADDRESS[] = "#@MACADDRESS@#";
constexpr char KEY_JPG[] = "#@JPG@#";
constexpr char KEY_SJPG[] = "#@SJPG@#";
constexpr char KEY_NEWPANO[] = "#@NEWPANO@#";
constexpr char KEY_SNEWPANO[] = "#@SNEWPANO@#";
constexpr char KEY_DISINFO[] = "#@DISINFO@#";
constexpr char KEY_UPDPANO[] = "#@UPDPANO@#";
constexpr char KEY_DATAREFLECT[] = "#@DATAREFLECT@#";
constexpr char KEY_TESTMSG[] = "#@TESTMSG@#";

// The reply frame and its fields.
constexpr char KEY_REPORT[] = "#@REPORT@#";
constexpr char KEY_RETCODE[] = "#@RETCODE@#";
constexpr char KEY_POSINFO[] = "#@POSINFO@#";
constexpr char KEY_EXTINFO[] = "#@EXTINFO@#";
