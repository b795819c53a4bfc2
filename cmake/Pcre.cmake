# PCRE 8.39 from Debian's pcre3 source package, built by scripts/build-pcre.sh
# as a step of this build, into build/pcre/<target>/, which every build of
# the clone with the same target shares (the native and bench builds), from
# one download of the source (build/pcre/src/). The script keeps a stamp of
# its configuration and compile commands there: a build with the current
# ones is reused, any change of them (they live in the script and in the
# project's patches to PCRE, which this step depends on) rebuilds it. Every target that links
# `pcre` waits for the step, so a parallel build from a clean tree works.
set(QUILLMAX_PCRE_ROOT ${CMAKE_SOURCE_DIR}/build/pcre CACHE PATH
    "Where the builds of this clone keep PCRE: src/ and one folder per target")
set(QUILLMAX_PCRE_SOURCE_DIR ${QUILLMAX_PCRE_ROOT}/src)
set(QUILLMAX_PCRE_DIR ${QUILLMAX_PCRE_ROOT}/${QUILLMAX_TARGET})
set(pcre_library ${QUILLMAX_PCRE_DIR}/lib/libpcre.a)
set(pcre_header ${QUILLMAX_PCRE_DIR}/include/pcre.h)
file(GLOB pcre_patches CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/scripts/pcre-patches/*.patch)

# The stamp is the step's output: the script rewrites the library and the
# header only when they change, so reusing a build relinks nothing.
add_custom_command(
  OUTPUT ${QUILLMAX_PCRE_DIR}/configuration
  BYPRODUCTS ${pcre_library} ${pcre_header}
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/build-pcre.sh ${QUILLMAX_TARGET} ${QUILLMAX_PCRE_DIR}
          ${QUILLMAX_PCRE_SOURCE_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/build-pcre.sh ${pcre_patches}
  COMMENT "PCRE 8.39 for ${QUILLMAX_TARGET} (Debian's pcre3 source package)"
  VERBATIM)
add_custom_target(pcre_build DEPENDS ${QUILLMAX_PCRE_DIR}/configuration)

# Linked by full path, so a rebuilt library relinks what uses it.
add_library(pcre INTERFACE)
target_link_libraries(pcre INTERFACE ${pcre_library})
# A system header, as before: the project's warnings are for its own code.
target_include_directories(pcre SYSTEM INTERFACE ${QUILLMAX_PCRE_DIR}/include)
# Without it pcre.h declares the functions as DLL imports on Windows.
target_compile_definitions(pcre INTERFACE PCRE_STATIC)
add_dependencies(pcre pcre_build)
