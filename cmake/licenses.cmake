# Licence texts of the third-party libraries linked into what we ship. Each goes to
# <build>/licenses/<name>.txt, where the release packaging takes every file it finds.
set(VANTREL_LICENSE_DIR ${CMAKE_BINARY_DIR}/licenses)

# The licence of a library whose header opens with it in its first comment (zlib's does):
# the text from the first line that holds `first` to the line that holds `last`.
function(vantrel_license_from_header name header first last)
  file(STRINGS ${header} lines)
  set(text "")
  set(copying OFF)
  foreach(line IN LISTS lines)
    if(NOT copying AND line MATCHES "${first}")
      set(copying ON)
    endif()
    if(copying)
      # The header indents the comment by two blanks; the list items' own indent stays.
      string(REGEX REPLACE "^  " "" unindented "${line}")
      string(APPEND text "${unindented}\n")
      if(line MATCHES "${last}")
        break()
      endif()
    endif()
  endforeach()
  if(NOT copying)
    message(FATAL_ERROR "No licence text found in ${header}")
  endif()
  file(WRITE ${VANTREL_LICENSE_DIR}/${name}.txt "${text}")
endfunction()

# The licence of a library that ships it as a file of its own.
function(vantrel_license_file name path)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "No licence file at ${path}")
  endif()
  configure_file(${path} ${VANTREL_LICENSE_DIR}/${name}.txt COPYONLY)
endfunction()
