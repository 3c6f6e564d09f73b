# Upload benchmark of the analysis client: Detect to the fake analysis server
# beside a plain loopback copy of the same file.
add_executable(detect_bench DetectBench.cpp)
target_link_libraries(detect_bench PRIVATE quill_protocol quill_fake_server)
if(WIN32)
  target_link_libraries(detect_bench PRIVATE psapi)
endif()
