# Copies each file below the folder FROM to the same place below the folder TO
# when TO has none there or an older one. A file of TO that is as new as its
# source or newer (saved by the user since) is kept. A copy keeps its source's
# time, so that any later save of the user's is newer.
# Usage: cmake -DFROM=<folder> -DTO=<folder> -P CopyNewerFiles.cmake
cmake_minimum_required(VERSION 3.21)
if(NOT IS_DIRECTORY "${FROM}" OR "${TO}" STREQUAL "")
  message(FATAL_ERROR "usage: cmake -DFROM=<folder> -DTO=<folder> -P CopyNewerFiles.cmake")
endif()
file(GLOB_RECURSE paths LIST_DIRECTORIES false RELATIVE "${FROM}" "${FROM}/*")
foreach(path IN LISTS paths)
  set(source "${FROM}/${path}")
  set(target "${TO}/${path}")
  # IS_NEWER_THAN holds for equal times and for a missing file.
  if(NOT EXISTS "${target}" OR NOT "${target}" IS_NEWER_THAN "${source}")
    get_filename_component(folder "${target}" DIRECTORY)
    file(COPY "${source}" DESTINATION "${folder}")
  endif()
endforeach()
