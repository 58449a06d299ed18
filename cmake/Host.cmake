# The reference host (Linux), its tests and scenarios.
find_package(nlohmann_json 3 REQUIRED)
find_package(CLI11 REQUIRED)
find_package(GTest REQUIRED)
set(CURSES_NEED_NCURSES TRUE)
set(CURSES_NEED_WIDE TRUE)
find_package(Curses REQUIRED)
find_package(pugixml REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)

file(GLOB HOST_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/host/document/*.cpp
     ${CMAKE_SOURCE_DIR}/host/services/*.cpp
     ${CMAKE_SOURCE_DIR}/host/sim/*.cpp
     ${CMAKE_SOURCE_DIR}/host/terminal/*.cpp
     ${CMAKE_SOURCE_DIR}/host/markup/*.cpp
     ${CMAKE_SOURCE_DIR}/host/musicxml/*.cpp
     ${CMAKE_SOURCE_DIR}/host/musescore/*.cpp
     ${CMAKE_SOURCE_DIR}/host/scores/*.cpp
     ${CMAKE_SOURCE_DIR}/host/session/*.cpp
     ${CMAKE_SOURCE_DIR}/host/users/*.cpp
     ${CMAKE_SOURCE_DIR}/host/users/monkey/*.cpp
     ${CMAKE_SOURCE_DIR}/host/cli/*.cpp)
list(FILTER HOST_SOURCES EXCLUDE REGEX ".*/host/cli/main\\.cpp$")
add_library(host_objects OBJECT ${HOST_SOURCES})
target_include_directories(host_objects PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
target_include_directories(host_objects BEFORE PUBLIC ${CMAKE_SOURCE_DIR}/host/sim/include)
target_include_directories(host_objects SYSTEM PUBLIC ${CURSES_INCLUDE_DIRS})
target_link_libraries(host_objects PUBLIC nlohmann_json::nlohmann_json CLI11::CLI11 ${CURSES_LIBRARIES} pugixml::pugixml)
# libzip is opened when the first archive is (host/markup/zip_library.cpp),
# not linked: it brings libcrypto, whose loading would be part of every start.
target_include_directories(host_objects SYSTEM PUBLIC ${LIBZIP_INCLUDE_DIRS})
list(GET LIBZIP_LINK_LIBRARIES 0 ORVO_LIBZIP_FILE)
execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${ORVO_LIBZIP_FILE} OUTPUT_VARIABLE ORVO_LIBZIP_HEADERS)
if(NOT ORVO_LIBZIP_HEADERS MATCHES "SONAME +([^ \n]+)")
  message(FATAL_ERROR "${ORVO_LIBZIP_FILE}: no SONAME")
endif()
set_property(SOURCE ${CMAKE_SOURCE_DIR}/host/markup/zip_library.cpp APPEND PROPERTY COMPILE_DEFINITIONS
             ORVO_LIBZIP_SONAME="${CMAKE_MATCH_1}")
# The Windows host is built without MusicXML and the random sessions
# (host/users/monkey); host/scores and host/cli ask for them only here.
target_compile_definitions(host_objects PUBLIC ORVO_HAVE_MUSICXML=1 ORVO_HAVE_MONKEY=1)
set_target_properties(host_objects PROPERTIES POSITION_INDEPENDENT_CODE ON)
orvo_warnings(host_objects)

# The host exports the HS_ services and the windows.h subset; the module's
# calls resolve to them when it is loaded.
add_executable(veldune-host ${CMAKE_SOURCE_DIR}/host/cli/main.cpp $<TARGET_OBJECTS:host_objects>)
target_link_libraries(veldune-host PRIVATE host_objects ${CMAKE_DL_LIBS})
set_target_properties(veldune-host PROPERTIES ENABLE_EXPORTS ON)
orvo_warnings(veldune-host)
add_dependencies(veldune-host OrvoSearchReplace)

enable_testing()
include(GoogleTest)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(orvo_tests ${UNIT_TEST_SOURCES}
               $<TARGET_OBJECTS:orvo_plugin_objects> $<TARGET_OBJECTS:orvo_binding_linked> $<TARGET_OBJECTS:orvo_resource_objects>
               $<TARGET_OBJECTS:host_objects>)
target_include_directories(orvo_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources ${CMAKE_SOURCE_DIR}/tests)
target_include_directories(orvo_tests BEFORE PRIVATE ${CMAKE_SOURCE_DIR}/host/sim/include)
target_link_libraries(orvo_tests PRIVATE host_objects GTest::gtest GTest::gtest_main PkgConfig::LIBZIP ${CMAKE_DL_LIBS})
target_compile_definitions(orvo_tests PRIVATE
  ORVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  ORVO_MODULE_PATH="$<TARGET_FILE:OrvoSearchReplace>"
  ORVO_HOST_PATH="$<TARGET_FILE:veldune-host>")
set_target_properties(orvo_tests PROPERTIES ENABLE_EXPORTS ON)
orvo_warnings(orvo_tests)
add_dependencies(orvo_tests OrvoSearchReplace veldune-host)
gtest_discover_tests(orvo_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)

# Scenario scripts: NAME.script runs on NAME.json when there is one, else on
# tests/documents/basic.json, each with a fresh registry hive.
file(GLOB SCENARIOS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/scenarios/*.script)
foreach(script IN LISTS SCENARIOS)
  get_filename_component(name ${script} NAME_WE)
  get_filename_component(dir ${script} DIRECTORY)
  if(EXISTS ${dir}/${name}.json)
    set(doc ${dir}/${name}.json)
  else()
    set(doc ${CMAKE_SOURCE_DIR}/tests/documents/basic.json)
  endif()
  set(hive ${CMAKE_BINARY_DIR}/scenario-hives/${name}.reg)
  add_test(NAME scenario.${name}
           COMMAND sh -c "rm -f \"$1\" && exec \"$2\" \"$3\" --script \"$4\" --registry \"$1\" --plugin \"$5\""
                   scenario ${hive} $<TARGET_FILE:veldune-host> ${doc} ${script} $<TARGET_FILE:OrvoSearchReplace>)
  set_tests_properties(scenario.${name} PROPERTIES LABELS scenario)
endforeach()

# The module in a host program that lacks one of the services.
add_test(NAME host.lacking_service
         COMMAND sh -c "rm -f \"$1\" && exec \"$2\" \"$3\" --script \"$4\" --registry \"$1\" --plugin \"$5\" --lack-service HS_LoadTGF"
                 scenario ${CMAKE_BINARY_DIR}/scenario-hives/lacking_service.reg $<TARGET_FILE:veldune-host>
                 ${CMAKE_SOURCE_DIR}/tests/documents/basic.json ${CMAKE_SOURCE_DIR}/tests/hosts/lacking_service.script
                 $<TARGET_FILE:OrvoSearchReplace>)
set_tests_properties(host.lacking_service PROPERTIES LABELS scenario)

# Real scores: MuseScore's demos converted at test time, run through the text
# command, checked against the MusicXML schema and read back by MuseScore.
add_test(NAME musescore.demos
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/musescore/musescore-test.sh $<TARGET_FILE:veldune-host>
                 $<TARGET_FILE:OrvoSearchReplace> ${CMAKE_BINARY_DIR}/musescore-test ${CMAKE_SOURCE_DIR})
set_tests_properties(musescore.demos PROPERTIES LABELS musescore TIMEOUT 900)
# MuseScore's own files read and written directly, and read back by MuseScore.
add_test(NAME musescore.native
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/musescore/native-test.sh $<TARGET_FILE:veldune-host>
                 $<TARGET_FILE:OrvoSearchReplace> ${CMAKE_BINARY_DIR}/musescore-native ${CMAKE_SOURCE_DIR})
set_tests_properties(musescore.native PROPERTIES LABELS musescore TIMEOUT 900)

include(${CMAKE_SOURCE_DIR}/cmake/Fuzz.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/Bench.cmake)

# The host at a real terminal, in tmux: both commands worked with keys (and a
# click), Ctrl+C, a terminal too small. Label "terminal".
foreach(scenario text entries ctrl-c small)
  add_test(NAME terminal.${scenario}
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/terminal/tmux-session.sh $<TARGET_FILE:veldune-host>
                   $<TARGET_FILE:OrvoSearchReplace> ${CMAKE_SOURCE_DIR}/examples/demo.json
                   ${CMAKE_BINARY_DIR}/terminal-runs/${scenario} ${scenario})
  set_tests_properties(terminal.${scenario} PROPERTIES LABELS terminal TIMEOUT 120)
endforeach()
add_test(NAME terminal.musicxml
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/terminal/tmux-session.sh $<TARGET_FILE:veldune-host>
                 $<TARGET_FILE:OrvoSearchReplace> ${CMAKE_SOURCE_DIR}/tests/musicxml/all_kinds.musicxml
                 ${CMAKE_BINARY_DIR}/terminal-runs/musicxml musicxml)
set_tests_properties(terminal.musicxml PROPERTIES LABELS terminal TIMEOUT 120)

# The layout: no file includes a room on its own floor or above it, and the
# plug-in nothing of the host; and the check itself over a small tree with bad
# includes planted in it (tests/layout/planted).
add_test(NAME layout.includes COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -P ${CMAKE_SOURCE_DIR}/cmake/CheckLayout.cmake)
add_test(NAME layout.planted COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR} -P ${CMAKE_SOURCE_DIR}/tests/layout/planted-test.cmake)
set_tests_properties(layout.includes layout.planted PROPERTIES LABELS layout)
