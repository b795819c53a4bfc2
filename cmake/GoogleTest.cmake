# GoogleTest for the test programs: GTest::gtest and GTest::gtest_main.
#
# 64-bit builds use Debian's libgtest-dev through the CMake package it
# installs (GTestConfig.cmake). Debian has no 32-bit libgtest without
# multiarch, which the project avoids (g++-multilib brings only the i386 C and
# C++ runtimes), and the 64-bit package rejects itself for a 32-bit build (its
# version file checks the pointer size). So the i386 build still asks
# find_package first, and when nothing fits, builds the framework from the
# sources that Debian's googletest package installs, located through the
# package's own file list. Both packages come from the same Debian source
# package, so every build tests with the same GoogleTest version.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  find_package(GTest CONFIG REQUIRED)
  return()
endif()

find_package(GTest CONFIG QUIET)
if(GTest_FOUND)
  return()
endif()

set(GOOGLETEST_SOURCE_DIR "" CACHE PATH
    "GoogleTest's sources for a 32-bit build; empty: those of Debian's googletest package")
block()
  set(source_dir ${GOOGLETEST_SOURCE_DIR})
  if(NOT source_dir)
    execute_process(COMMAND dpkg-query -L googletest
      OUTPUT_VARIABLE files RESULT_VARIABLE result ERROR_QUIET)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR
        "The 32-bit tests need Debian's googletest package (scripts/install-deps.sh)")
    endif()
    # The project's top-level CMakeLists.txt is the shallowest one listed.
    string(REGEX MATCHALL "[^\n]*/CMakeLists\\.txt" lists "${files}")
    foreach(list_file IN LISTS lists)
      get_filename_component(dir ${list_file} DIRECTORY)
      string(LENGTH "${dir}" length)
      if(NOT source_dir OR length LESS shortest)
        set(source_dir ${dir})
        set(shortest ${length})
      endif()
    endforeach()
    if(NOT source_dir)
      message(FATAL_ERROR "Debian's googletest package lists no CMakeLists.txt")
    endif()
  endif()
  message(STATUS "GoogleTest built from ${source_dir}")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${source_dir} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endblock()
