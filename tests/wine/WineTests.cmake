# Tests of the Windows build, label "wine": the DLL's tables, and the scenario
# scripts through veldune-host.exe under Wine on a private Xvfb display that
# the wine.start test brings up and wine.stop takes down.
set(ORVO_WINE_TEST ${CMAKE_SOURCE_DIR}/tests/wine/wine-test.sh)

get_filename_component(_cxx_name ${CMAKE_CXX_COMPILER} NAME)
string(REGEX REPLACE "g\\+\\+.*$" "objdump" _objdump_name ${_cxx_name})
find_program(ORVO_TARGET_OBJDUMP NAMES ${_objdump_name} objdump)

add_test(NAME wine.exports COMMAND bash ${ORVO_WINE_TEST} exports ${ORVO_TARGET_OBJDUMP}
                                   $<TARGET_FILE:OrvoSearchReplace>)
set_tests_properties(wine.exports PROPERTIES LABELS "wine")

# Runs nothing under Wine: it proves that the 32-bit probe tells a kernel that
# refuses 32-bit programs apart from a broken run, and that only the x86 runs
# are ever skipped for it.
add_test(NAME wine.probe32 COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/probe-test.sh ${ORVO_WINE_TEST})
set_tests_properties(wine.probe32 PROPERTIES LABELS "wine")

if(NOT ORVO_HAVE_WIN_HOST)
  return()
endif()

if(NOT CMAKE_HOST_UNIX)
  # On Windows itself the scenarios need no Wine; they run like on Linux.
  return()
endif()

set(ORVO_WINE_STATE ${CMAKE_BINARY_DIR}/wine-state)
set(ORVO_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)

# Every run under Wine knows the architecture it runs: the x64 ones take the
# 64-bit loader directly, and the x86 ones are skipped (exit 77), with the
# reason, on a machine whose kernel does not run 32-bit programs. The x64
# runs are never skipped.
set(_wine_env "ORVO_WINE_ARCH=${ORVO_ARCH}")
if(ORVO_ARCH STREQUAL x86)
  set(_wine_skip SKIP_RETURN_CODE 77)
else()
  set(_wine_skip)
endif()

add_test(NAME wine.start COMMAND bash ${ORVO_WINE_TEST} start ${ORVO_WINE_STATE} ${ORVO_WINE_PREFIX})
add_test(NAME wine.stop COMMAND bash ${ORVO_WINE_TEST} stop ${ORVO_WINE_STATE} ${ORVO_WINE_PREFIX})
set_tests_properties(wine.start PROPERTIES LABELS "wine" FIXTURES_SETUP wine TIMEOUT 600 RESOURCE_LOCK wine_prefix
                                           ENVIRONMENT "${_wine_env}" ${_wine_skip})
set_tests_properties(wine.stop PROPERTIES LABELS "wine" FIXTURES_CLEANUP wine TIMEOUT 120 RESOURCE_LOCK wine_prefix
                                          ENVIRONMENT "${_wine_env}")

# Scripts that plan failures real Windows cannot make happen.
file(STRINGS ${CMAKE_SOURCE_DIR}/tests/wine/linux-only.txt _linux_only REGEX "^[^#]")

# Every run uses a copy of the host under another file name (wine-test.sh).
function(orvo_wine_test name mode document)
  if(NOT DEFINED ORVO_WINE_HOST)
    set(ORVO_WINE_HOST veldune-host)
  endif()
  add_test(NAME ${name}
           COMMAND bash ${ORVO_WINE_TEST} ${mode} ${ORVO_WINE_STATE} ${ORVO_WINE_PREFIX}
                   $<TARGET_FILE:${ORVO_WINE_HOST}> $<TARGET_FILE:OrvoSearchReplace> ${document} ${ARGN})
  # One prefix, one registry: the runs take turns.
  set_tests_properties(${name} PROPERTIES LABELS "wine" FIXTURES_REQUIRED wine RESOURCE_LOCK wine_prefix TIMEOUT 400
                                          ENVIRONMENT "${_wine_env}" ${_wine_skip})
endfunction()

file(GLOB _scenarios CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/scenarios/*.script)
foreach(script IN LISTS _scenarios)
  get_filename_component(name ${script} NAME_WE)
  if(name IN_LIST _linux_only)
    continue()
  endif()
  get_filename_component(dir ${script} DIRECTORY)
  if(EXISTS ${dir}/${name}.json)
    set(doc ${dir}/${name}.json)
  else()
    set(doc ${CMAKE_SOURCE_DIR}/tests/documents/basic.json)
  endif()
  orvo_wine_test(wine.scenario.${name} scenario ${doc} ${script})
endforeach()

orvo_wine_test(wine.registry registry ${CMAKE_SOURCE_DIR}/tests/wine/settings.json
               ${CMAKE_SOURCE_DIR}/tests/wine/settings.script)

# Planned failures are refused loudly, never run as if they had happened.
orvo_wine_test(wine.refuses.fail_alloc refuses ${CMAKE_SOURCE_DIR}/tests/wine/settings.json
               ${CMAKE_SOURCE_DIR}/tests/wine/fail_alloc.script "fail-alloc")
orvo_wine_test(wine.refuses.fail_registry refuses ${CMAKE_SOURCE_DIR}/tests/wine/settings.json
               ${CMAKE_SOURCE_DIR}/tests/wine/fail_registry.script "fail-registry create")

# The entries subcommand finds the check boxes by reading the criteria
# template out of the DLL's compiled resources.
orvo_wine_test(wine.entries_command command ${CMAKE_SOURCE_DIR}/tests/documents/basic.json
               " made." -- entries --find "Up/Down=on" --change "Up/Down=off" --yes)

# A host program built without one of the services: the commands are listed
# and each says why it cannot run.
set(ORVO_WINE_HOST veldune-host-lacking)
orvo_wine_test(wine.lacking_service scenario ${CMAKE_SOURCE_DIR}/tests/documents/basic.json
               ${CMAKE_SOURCE_DIR}/tests/hosts/lacking_service.script)
unset(ORVO_WINE_HOST)
