# Copies the run-time data of the folder FROM to the same places below the
# program folder TO as a package manager treats configuration files, by
# content, never by time: TO keeps a record of the content each file had when
# it was last shipped. A file TO lacks is copied. A file the user never
# changed (it holds what was shipped last) follows FROM. A file the user
# changed is kept; when FROM ships a new version of it, that version goes
# beside it as NAME.shipped, which the program never reads, and the build
# says so. Nothing is written when nothing changed.
# Usage: cmake -DFROM=<folder> -DTO=<folder> -P CopyDataFiles.cmake
cmake_minimum_required(VERSION 3.21)
if(NOT IS_DIRECTORY "${FROM}" OR "${TO}" STREQUAL "")
  message(FATAL_ERROR "usage: cmake -DFROM=<folder> -DTO=<folder> -P CopyDataFiles.cmake")
endif()

# One line per file: the SHA-256 of the content shipped last, a space, the path.
set(record_file "${TO}/.shipped-data.sha256")
if(EXISTS "${record_file}")
  file(STRINGS "${record_file}" lines ENCODING UTF-8)
  foreach(line IN LISTS lines)
    string(SUBSTRING "${line}" 0 64 hash)
    string(SUBSTRING "${line}" 65 -1 path)
    string(MD5 key "${path}")
    set("shipped_${key}" "${hash}")
  endforeach()
endif()

function(copy_data source target)
  get_filename_component(folder "${target}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${source}" "${target}")
endfunction()

file(GLOB_RECURSE paths LIST_DIRECTORIES false RELATIVE "${FROM}" "${FROM}/*")
list(SORT paths)
set(record "")
foreach(path IN LISTS paths)
  set(source "${FROM}/${path}")
  set(target "${TO}/${path}")
  file(SHA256 "${source}" shipped)
  string(MD5 key "${path}")
  set(shipped_before "${shipped_${key}}")
  if(NOT EXISTS "${target}")
    copy_data("${source}" "${target}")
  else()
    file(SHA256 "${target}" present)
    if(present STREQUAL shipped_before AND NOT present STREQUAL shipped)
      copy_data("${source}" "${target}")
    elseif(NOT present STREQUAL shipped AND NOT shipped STREQUAL shipped_before)
      # Without a record (a folder from an older build) the user's change and
      # a new version cannot be told apart: the file is kept all the same.
      set(beside "${target}.shipped")
      set(beside_content "")
      if(EXISTS "${beside}")
        file(SHA256 "${beside}" beside_content)
      endif()
      if(NOT beside_content STREQUAL shipped)
        copy_data("${source}" "${beside}")
        message(NOTICE "data: kept ${target}, changed since it was shipped; the new version shipped is beside it as ${path}.shipped")
      endif()
    endif()
  endif()
  string(APPEND record "${shipped} ${path}\n")
endforeach()

set(recorded "")
if(EXISTS "${record_file}")
  file(READ "${record_file}" recorded)
endif()
if(NOT recorded STREQUAL record)
  file(WRITE "${record_file}" "${record}")
endif()
