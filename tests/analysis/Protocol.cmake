# Tests of the field codec, the frames and the analysis client, against the
# fake analysis server in the same process.
quill_add_test(NAME protocol_tests
  SOURCES TextFieldTest.cpp SocketIoTest.cpp ToothDetectTest.cpp
  LIBS quill_protocol quill_fake_server)
