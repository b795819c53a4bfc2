# The plug-in: one set of sources built as Quillmax.dll (win32) or Quillmax.so
# (Linux), and as a static library the unit tests link directly.

# The rule engine: the stored form of the rules, the rule loop, word and Perl
# rules over PCRE. It calls nothing of the host, so quillmax-host links the
# same objects to trace and check rules (quillmax_rule_engine below).
set(QUILLMAX_RULE_ENGINE_SOURCES
  regex/pattern_text.cpp
  regex/compiled_pattern.cpp
  regex/compiled_patterns.cpp
  regex/step_budget.cpp
  regex/search.cpp
  regex/regex_replacer.cpp
  regex/match_facts.cpp
  regex/required_literals.cpp
  rules/rule_columns.cpp
  rules/rule_types.cpp
  correction/word_road.cpp
  correction/rule_application.cpp
  correction/literal_word_rule.cpp
  correction/literal_automaton.cpp
  correction/literal_presence.cpp
  correction/rule_prefilter.cpp
  correction/prepared_rules.cpp
  correction/word_separators.cpp
  correction/rule_loop.cpp
  correction/pattern_letters.cpp
  correction/rule_check.cpp
)
# Everything else: the entry point, the host services, the store of the
# rules, the correction of a message, the settings page and its editor.
set(QUILLMAX_SHELL_SOURCES
  shell/entry_point.cpp
  shell/host_services.cpp
  correction/ext_params.cpp
  correction/case_option.cpp
  rules/rule_store.cpp
  correction/correct_message.cpp
  shell/page_services.cpp
  shell/settings_page.cpp
  editor/rule_list_editor.cpp
)

set(QUILLMAX_PLUGIN_SOURCES ${QUILLMAX_RULE_ENGINE_SOURCES} ${QUILLMAX_SHELL_SOURCES})

add_library(quillmax_rule_objects OBJECT ${QUILLMAX_RULE_ENGINE_SOURCES})
add_library(quillmax_objects OBJECT ${QUILLMAX_SHELL_SOURCES})
foreach(objects quillmax_rule_objects quillmax_objects)
  target_include_directories(${objects} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${objects} PUBLIC pcre PRIVATE quillmax_warnings)
endforeach()
set(plugin_objects $<TARGET_OBJECTS:quillmax_rule_objects> $<TARGET_OBJECTS:quillmax_objects>)

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
    ${plugin_objects}
    resources/Quillmax.def
    resources/Quillmax.rc)
  add_dependencies(Quillmax comctl32_ordinal)
  target_include_directories(Quillmax PRIVATE ${CMAKE_SOURCE_DIR}/resources)
  set_target_properties(Quillmax PROPERTIES PREFIX "" SUFFIX ".dll" OUTPUT_NAME Quillmax)
  target_link_options(Quillmax PRIVATE -static-libgcc -static-libstdc++ -s)
  target_link_libraries(Quillmax PRIVATE pcre ${comctl32_lib} user32)
  # The same DLL, byte for byte, from any clone of a commit.
  include(${CMAKE_SOURCE_DIR}/cmake/Reproducible.cmake)
else()
  # The Win32 stand-in lives beside the plug-in and is found through $ORIGIN,
  # so the pair works from any directory.
  add_library(quillmax_win32 SHARED platform/win32_standin.cpp)
  target_include_directories(quillmax_win32 PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(quillmax_win32 PRIVATE quillmax_warnings)
  set_target_properties(quillmax_win32 PROPERTIES OUTPUT_NAME quillmax_win32)

  target_link_libraries(quillmax_objects PUBLIC quillmax_win32)

  add_library(Quillmax MODULE ${plugin_objects})
  set_target_properties(Quillmax PROPERTIES
    PREFIX "" OUTPUT_NAME Quillmax
    BUILD_WITH_INSTALL_RPATH ON INSTALL_RPATH "$ORIGIN")
  target_link_libraries(Quillmax PRIVATE pcre quillmax_win32)
  target_link_options(Quillmax PRIVATE -Wl,--no-undefined)

  add_library(quillmax_core STATIC ${plugin_objects})
  target_link_libraries(quillmax_core PUBLIC pcre quillmax_win32)
  target_include_directories(quillmax_core PUBLIC ${CMAKE_SOURCE_DIR})

  # The rule engine alone, the same objects the plug-in is made of, for
  # quillmax-host: it runs rules without the plug-in's host services.
  add_library(quillmax_rule_engine STATIC $<TARGET_OBJECTS:quillmax_rule_objects>)
  target_link_libraries(quillmax_rule_engine PUBLIC pcre)
  target_include_directories(quillmax_rule_engine PUBLIC ${CMAKE_SOURCE_DIR})

  # A fuzz build's PCRE carries the fuzzers' instrumentation, which only
  # their own programs link; it builds the fuzz targets alone, which compile
  # the plug-in's code with that instrumentation themselves.
  if(QUILLMAX_FUZZ)
    set_target_properties(Quillmax quillmax_core quillmax_rule_engine quillmax_rule_objects
                          quillmax_objects PROPERTIES EXCLUDE_FROM_ALL ON)
  endif()
endif()
