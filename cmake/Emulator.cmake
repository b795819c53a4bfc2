# The emulator (emulator/): a PE loader and the Win32 imports that run the
# real Quillmax.dll (and its own test DLLs) under CPU emulation with
# Unicorn. A host-side tool, so only the native build has it; the i386,
# win32 and fuzz builds skip it.
if(WIN32 OR QUILLMAX_FUZZ OR NOT QUILLMAX_TARGET STREQUAL "native")
  return()
endif()

find_path(UNICORN_INCLUDE_DIR unicorn/unicorn.h)
find_library(UNICORN_LIBRARY unicorn)
if(NOT UNICORN_INCLUDE_DIR OR NOT UNICORN_LIBRARY)
  message(FATAL_ERROR
    "Unicorn not found: the native build needs libunicorn-dev (scripts/install-deps.sh)")
endif()

add_library(quillmax_emulator STATIC
  emulator/pe_image.cpp
  emulator/heap.cpp
  emulator/emulation_error.cpp
  emulator/address_space.cpp
  emulator/memory_access.cpp
  emulator/stub_table.cpp
  emulator/symbolizer.cpp
  emulator/cpu_hooks.cpp
  emulator/emulator.cpp
  emulator/import_registry.cpp
  emulator/text_codec.cpp
  emulator/printf_format.cpp
  emulator/msvcrt.cpp
  emulator/kernel32.cpp
  emulator/user32.cpp
  emulator/emulated_dll.cpp)
target_include_directories(quillmax_emulator PUBLIC ${CMAKE_SOURCE_DIR})
target_include_directories(quillmax_emulator SYSTEM PRIVATE ${UNICORN_INCLUDE_DIR})
target_link_libraries(quillmax_emulator PUBLIC ${UNICORN_LIBRARY} PRIVATE quillmax_warnings)
