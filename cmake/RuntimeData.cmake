# The run-time data beside the program: at every build the folder FROM is
# looked over and copied into the program folder TO by CopyDataFiles.cmake,
# which keeps what the user changed there, without the program being relinked.
function(quill_add_runtime_data target from to)
  add_custom_target(${target} ALL
    COMMAND ${CMAKE_COMMAND} -DFROM=${from} -DTO=${to} -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CopyDataFiles.cmake
    VERBATIM)
endfunction()
