# Run as a script at every build of the DLL (cmake -P): writes OUTPUT, the
# build's date in seconds since 1970, and rewrites it only when it changed,
# so that only what shows the date is rebuilt.
#
# The date is SOURCE_DATE_EPOCH when the environment sets it, else the time
# of the commit checked out in SOURCE_DIR: every clone of one commit gets
# the same date, whenever it builds. Outside a git clone, with no
# SOURCE_DATE_EPOCH, the file is empty and the compiler uses the clock.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE epoch RESULT_VARIABLE result ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(WARNING "Not a git clone and no SOURCE_DATE_EPOCH: the DLL carries the time it was built")
    set(epoch "")
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]*$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH '${epoch}' is not a number of seconds")
endif()

set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL epoch)
  file(WRITE "${OUTPUT}" "${epoch}")
endif()
