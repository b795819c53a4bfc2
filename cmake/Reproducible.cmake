# What makes Quillmax.dll the same file, byte for byte, from any clone of one
# commit at any path and at any time (included by cmake/Plugin.cmake once
# the DLL's targets exist):
# - The build date the settings page shows (__DATE__ and __TIME__) is the
#   commit's: the compilers run with SOURCE_DATE_EPOCH taken from the file
#   cmake/SourceDateEpoch.cmake keeps up to date at every build.
# - No path of the build machine is recorded (-ffile-prefix-map); PCRE's
#   build maps its own directory the same way (scripts/build-pcre.sh).
# - The linker writes no time stamp into the PE header or the export
#   directory (the DLL is stripped, so it has no debug directory) and
#   computes the checksum from the bytes; windres writes none into the
#   resource directory.
# - The image base is fixed: ld would otherwise derive it from the output
#   file's name as written on its command line. This is the base that name,
#   "Quillmax.dll", gave.
# Objects are linked in the order of the source lists, and ar keeps no time
# stamps (Debian's binutils are deterministic by default).
set(QUILLMAX_SOURCE_DATE_FILE ${CMAKE_BINARY_DIR}/source-date-epoch)
add_custom_target(quillmax_source_date
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT=${QUILLMAX_SOURCE_DATE_FILE}
          -P ${CMAKE_SOURCE_DIR}/cmake/SourceDateEpoch.cmake
  BYPRODUCTS ${QUILLMAX_SOURCE_DATE_FILE}
  VERBATIM)

set(date_launcher sh ${CMAKE_SOURCE_DIR}/scripts/with-source-date.sh ${QUILLMAX_SOURCE_DATE_FILE})
foreach(objects quillmax_rule_objects quillmax_objects)
  set_target_properties(${objects} PROPERTIES
    C_COMPILER_LAUNCHER "${date_launcher}" CXX_COMPILER_LAUNCHER "${date_launcher}")
  # The build directory lies inside the source directory and is mapped
  # first (the compiler tries the last map given first).
  target_compile_options(${objects} PRIVATE
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
  add_dependencies(${objects} quillmax_source_date)
endforeach()
# The one source that shows the date is rebuilt when the date changes.
set_source_files_properties(${CMAKE_SOURCE_DIR}/shell/settings_page.cpp PROPERTIES
  OBJECT_DEPENDS ${QUILLMAX_SOURCE_DATE_FILE})

target_link_options(Quillmax PRIVATE -Wl,--no-insert-timestamp -Wl,--image-base,0x6b380000)
