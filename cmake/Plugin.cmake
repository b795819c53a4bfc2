# The plug-in: one set of sources built as Quillmax.dll (win32) or Quillmax.so
# (Linux), and as a static library the unit tests link directly.
set(QUILLMAX_PLUGIN_SOURCES
  shell/entry_point.cpp
  shell/host_services.cpp
  regex/regex_replacer.cpp
  regex/required_literals.cpp
  correction/ext_params.cpp
  rules/rule_store.cpp
  correction/rule_application.cpp
  correction/literal_word_rule.cpp
  correction/literal_automaton.cpp
  correction/literal_presence.cpp
  correction/rule_prefilter.cpp
  correction/correct_message.cpp
  shell/page_services.cpp
  shell/settings_page.cpp
  editor/rule_list_editor.cpp
)

add_library(quillmax_objects OBJECT ${QUILLMAX_PLUGIN_SOURCES})
target_include_directories(quillmax_objects PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(quillmax_objects PUBLIC pcre PRIVATE quillmax_warnings)

if(WIN32)
  # comctl32 exports InitCommonControls by ordinal only on some systems, so
  # the DLL imports it by ordinal 17, through an import library of our own.
  set(comctl32_def ${CMAKE_SOURCE_DIR}/resources/comctl32_ordinal.def)
  set(comctl32_lib ${CMAKE_BINARY_DIR}/libcomctl32_ordinal.a)
  add_custom_command(
    OUTPUT ${comctl32_lib}
    COMMAND i686-w64-mingw32-dlltool -d ${comctl32_def} -l ${comctl32_lib}
    DEPENDS ${comctl32_def})
  add_custom_target(comctl32_ordinal DEPENDS ${comctl32_lib})

  set(CMAKE_RC_FLAGS "-c 65001 -l 0x415")
  enable_language(RC)
  add_library(Quillmax MODULE
    $<TARGET_OBJECTS:quillmax_objects>
    resources/Quillmax.def
    resources/Quillmax.rc)
  add_dependencies(Quillmax comctl32_ordinal)
  target_include_directories(Quillmax PRIVATE ${CMAKE_SOURCE_DIR}/resources)
  set_target_properties(Quillmax PROPERTIES PREFIX "" SUFFIX ".dll" OUTPUT_NAME Quillmax)
  target_link_options(Quillmax PRIVATE -static-libgcc -static-libstdc++ -s)
  target_link_libraries(Quillmax PRIVATE pcre ${comctl32_lib} user32)
else()
  # The Win32 stand-in lives beside the plug-in and is found through $ORIGIN,
  # so the pair works from any directory.
  add_library(quillmax_win32 SHARED platform/win32_standin.cpp)
  target_include_directories(quillmax_win32 PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(quillmax_win32 PRIVATE quillmax_warnings)
  set_target_properties(quillmax_win32 PROPERTIES OUTPUT_NAME quillmax_win32)

  target_link_libraries(quillmax_objects PUBLIC quillmax_win32)

  add_library(Quillmax MODULE $<TARGET_OBJECTS:quillmax_objects>)
  set_target_properties(Quillmax PROPERTIES
    PREFIX "" OUTPUT_NAME Quillmax
    BUILD_WITH_INSTALL_RPATH ON INSTALL_RPATH "$ORIGIN")
  target_link_libraries(Quillmax PRIVATE pcre quillmax_win32)
  target_link_options(Quillmax PRIVATE -Wl,--no-undefined)

  add_library(quillmax_core STATIC $<TARGET_OBJECTS:quillmax_objects>)
  target_link_libraries(quillmax_core PUBLIC pcre quillmax_win32)
  target_include_directories(quillmax_core PUBLIC ${CMAKE_SOURCE_DIR})
endif()
