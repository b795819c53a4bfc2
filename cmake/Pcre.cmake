# PCRE 8.39, built once per target by scripts/build-pcre.sh into build/deps/;
# the script returns at once when the build there has the current options.
set(QUILLMAX_PCRE_DIR ${CMAKE_SOURCE_DIR}/build/deps/${QUILLMAX_TARGET})
block()
  execute_process(
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/build-pcre.sh ${QUILLMAX_TARGET}
    RESULT_VARIABLE pcre_result)
  if(NOT pcre_result EQUAL 0)
    message(FATAL_ERROR "PCRE build for ${QUILLMAX_TARGET} failed")
  endif()
endblock()

add_library(pcre STATIC IMPORTED GLOBAL)
set_target_properties(pcre PROPERTIES
  IMPORTED_LOCATION ${QUILLMAX_PCRE_DIR}/lib/libpcre.a
  INTERFACE_INCLUDE_DIRECTORIES ${QUILLMAX_PCRE_DIR}/include
  # Without it pcre.h declares the functions as DLL imports on Windows.
  INTERFACE_COMPILE_DEFINITIONS PCRE_STATIC)
