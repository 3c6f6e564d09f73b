# The findings model: finding kinds, tooth record, record parser, tooth-info loader.
add_library(quill_findings STATIC FindingKind.cpp ToothInfo.cpp SDataIOBase.cpp ToothInfoLoader.cpp)
target_include_directories(quill_findings PUBLIC ${PROJECT_SOURCE_DIR}/src)
