# The PE loader: runs the real Quillmax.dll (and the loader's own test DLLs)
# under CPU emulation with Unicorn. A host-side tool, so only the native
# build has it; the i386, win32 and fuzz builds skip it.
if(WIN32 OR QUILLMAX_FUZZ OR NOT QUILLMAX_TARGET STREQUAL "native")
  return()
endif()

find_path(UNICORN_INCLUDE_DIR unicorn/unicorn.h)
find_library(UNICORN_LIBRARY unicorn)
if(NOT UNICORN_INCLUDE_DIR OR NOT UNICORN_LIBRARY)
  message(FATAL_ERROR
    "Unicorn not found: the native build needs libunicorn-dev (scripts/install-deps.sh)")
endif()

add_library(quillmax_pe STATIC
  host/pe/pe_image.cpp
  host/pe/heap.cpp
  host/pe/emulator.cpp
  host/pe/import_registry.cpp
  host/pe/text_codec.cpp
  host/pe/printf_format.cpp
  host/pe/msvcrt.cpp
  host/pe/kernel32.cpp
  host/pe/user32.cpp
  host/pe/emulated_dll.cpp)
target_include_directories(quillmax_pe PUBLIC ${CMAKE_SOURCE_DIR})
target_include_directories(quillmax_pe SYSTEM PRIVATE ${UNICORN_INCLUDE_DIR})
target_link_libraries(quillmax_pe PUBLIC ${UNICORN_LIBRARY} PRIVATE quillmax_warnings)
