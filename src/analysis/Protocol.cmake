# The wire: fields and frames, and the client of the analysis server.
add_library(quill_protocol STATIC TextField.cpp SocketIo.cpp ToothDetect.cpp)
target_include_directories(quill_protocol PUBLIC ${PROJECT_SOURCE_DIR}/src)
if(WIN32)
  target_link_libraries(quill_protocol PUBLIC ws2_32)
endif()
