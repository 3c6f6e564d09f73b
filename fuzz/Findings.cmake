# Fuzz target of the record parser and the loader.
quill_add_fuzzer(findings_fuzzer ToothInfoLoaderFuzz.cpp quill_findings)
