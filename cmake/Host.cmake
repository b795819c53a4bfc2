# The host side on Linux: the simulated messenger and the quillmax-host
# program. To trace and check rules it links the plug-in's rule engine
# (cmake/Plugin.cmake), the same objects the plug-in is made of.

# The host's side of the boundary in this process: the operation table and
# the loader of Quillmax.so. The test host builds on them in every build,
# the fuzz build included, which has nothing else of the host.
add_library(quillmax_host_boundary STATIC host/native_host_table.cpp host/plugin_module.cpp)
target_include_directories(quillmax_host_boundary PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(quillmax_host_boundary PUBLIC ${CMAKE_DL_LIBS} PRIVATE quillmax_warnings)
if(QUILLMAX_FUZZ)
  return()
endif()

find_package(nlohmann_json 3 REQUIRED)

# Reaches the Win32 stand-in a loaded plug-in uses; the tests use it too.
add_library(quillmax_standin_client STATIC host/standin_client.cpp)
target_include_directories(quillmax_standin_client PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(quillmax_standin_client PUBLIC ${CMAKE_DL_LIBS} PRIVATE quillmax_warnings)

add_library(quillmax_hostsim STATIC
  host/cli.cpp
  host/cli_arguments.cpp
  host/cli_command_table.cpp
  host/cli_commands.cpp
  host/autocorrect_list.cpp
  host/cli_correct.cpp
  host/cli_rule_transfer.cpp
  host/cli_rules.cpp
  host/cli_session.cpp
  host/config_store.cpp
  host/default_store.cpp
  host/escape_controls.cpp
  host/host_simulator.cpp
  host/native_plugin.cpp
  host/rule_diagnostics.cpp
  host/rule_list_changes.cpp
  host/rule_transfer.cpp
  host/store_file.cpp
  host/store_lock.cpp
  host/text_codec.cpp)
target_include_directories(quillmax_hostsim PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(quillmax_hostsim PRIVATE QUILLMAX_HOST_VERSION="${PROJECT_VERSION}")
target_link_libraries(quillmax_hostsim
  PUBLIC quillmax_rule_engine quillmax_host_boundary quillmax_standin_client
         nlohmann_json::nlohmann_json
  PRIVATE quillmax_warnings)

# Autocorrect lists (zips of XML) are read with Debian's libzip and expat,
# which the native builds have; the 32-bit build goes without them.
# (Debian 12's libzip CMake package names tools that libzip-dev does not
# bring, so the library is found directly.)
if(QUILLMAX_TARGET STREQUAL "native")
  find_path(LIBZIP_INCLUDE_DIR zip.h)
  find_library(LIBZIP_LIBRARY zip)
  find_package(EXPAT REQUIRED)
  if(NOT LIBZIP_INCLUDE_DIR OR NOT LIBZIP_LIBRARY)
    message(FATAL_ERROR "libzip not found: the native build needs libzip-dev (scripts/install-deps.sh)")
  endif()
  target_include_directories(quillmax_hostsim SYSTEM PRIVATE ${LIBZIP_INCLUDE_DIR})
  target_link_libraries(quillmax_hostsim PRIVATE ${LIBZIP_LIBRARY} EXPAT::EXPAT)
  target_compile_definitions(quillmax_hostsim PUBLIC QUILLMAX_HAVE_AUTOCORRECT=1)
endif()

# Running the shipped DLL itself, under CPU emulation, where the loader is built.
if(TARGET quillmax_emulator)
  target_sources(quillmax_hostsim PRIVATE host/emulated_plugin.cpp)
  target_link_libraries(quillmax_hostsim PUBLIC quillmax_emulator)
  target_compile_definitions(quillmax_hostsim PUBLIC QUILLMAX_HAVE_PE=1)
endif()

add_executable(quillmax-host host/main.cpp)
target_link_libraries(quillmax-host PRIVATE quillmax_hostsim quillmax_warnings)
# The program loads Quillmax.so from beside itself.
add_dependencies(quillmax-host Quillmax)

# make install (component quillmax-host): the program in bin, the plug-in
# with the Win32 stand-in it finds beside itself in lib/quillmax (where the
# program looks when Quillmax.so is not beside it), the manual page and the
# bash completion. Relative paths only, so PREFIX and DESTDIR both work.
install(TARGETS quillmax-host RUNTIME DESTINATION bin COMPONENT quillmax-host)
install(TARGETS Quillmax quillmax_win32
        LIBRARY DESTINATION lib/quillmax COMPONENT quillmax-host)
install(FILES host/quillmax-host.1 DESTINATION share/man/man1 COMPONENT quillmax-host)
install(FILES host/quillmax-host.bash-completion
        DESTINATION share/bash-completion/completions
        RENAME quillmax-host COMPONENT quillmax-host)
