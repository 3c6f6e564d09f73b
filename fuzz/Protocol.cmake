# Fuzz targets of the field codec, the frames and the reply's field walk.
quill_add_fuzzer(report_fields_fuzzer ReportFieldsFuzz.cpp quill_protocol)
find_package(Threads REQUIRED)
quill_add_fuzzer(recv_frame_fuzzer RecvFrameFuzz.cpp quill_protocol Threads::Threads)
