# Tests of the findings model.
quill_add_test(NAME findings_tests
  SOURCES FindingKindTest.cpp SDataIOBaseTest.cpp ToothInfoLoaderTest.cpp
  LIBS quill_findings)
