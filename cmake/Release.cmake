# The release archive, Quillmax-<version>-win32.zip, built beside the DLL by
# scripts/make-release.sh with every build of it (`make release` copies it
# into dist/). The version is the one the plug-in reports.
file(STRINGS ${CMAKE_SOURCE_DIR}/shell/identity.h version_line REGEX "define QMX_VERSION_TEXT ")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" QUILLMAX_VERSION_TEXT "${version_line}")
if(NOT QUILLMAX_VERSION_TEXT MATCHES "^[0-9A-Za-z.]+$")
  message(FATAL_ERROR "No version in shell/identity.h (QMX_VERSION_TEXT)")
endif()

set(QUILLMAX_RELEASE_ARCHIVE ${CMAKE_BINARY_DIR}/release/Quillmax-${QUILLMAX_VERSION_TEXT}-win32.zip)
set(release_texts ${CMAKE_SOURCE_DIR}/resources/release/CZYTAJ.txt
                  ${CMAKE_SOURCE_DIR}/resources/release/README.txt)
add_custom_command(
  OUTPUT ${QUILLMAX_RELEASE_ARCHIVE}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/release
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/release
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/make-release.sh ${QUILLMAX_RELEASE_ARCHIVE}
          $<TARGET_FILE:Quillmax> ${QUILLMAX_VERSION_TEXT} ${QUILLMAX_SOURCE_DATE_FILE}
          ${CMAKE_SOURCE_DIR}/resources/release ${QUILLMAX_PCRE_SOURCE_DIR} ${CMAKE_CXX_COMPILER}
  DEPENDS Quillmax ${release_texts} ${CMAKE_SOURCE_DIR}/scripts/make-release.sh
  COMMENT "Release archive Quillmax-${QUILLMAX_VERSION_TEXT}-win32.zip"
  VERBATIM)
add_custom_target(release_archive ALL DEPENDS ${QUILLMAX_RELEASE_ARCHIVE})
