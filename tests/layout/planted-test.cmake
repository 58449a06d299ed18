# The layout check over a small tree with bad includes planted in it: it must
# fail, name each of them, and name nothing else.
#   cmake -DSOURCE=<source dir> -P tests/layout/planted-test.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${SOURCE}/tests/layout/planted -P ${SOURCE}/cmake/CheckLayout.cmake
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(result EQUAL 0)
  message(FATAL_ERROR "the check passed a tree with bad includes:\n${out}")
endif()
set(expected
    "host/document/reaches_up.h: includes host/cli/host_main.h: host/cli is above host/document"
    "host/musescore/sideways.h: includes host/musicxml/score.h: host/musicxml is on the same floor as host/musescore"
    "shell/into_host.h: includes host/services/services.h: the plug-in includes nothing of the host"
    "host/unlisted: a room on no floor of the layout"
    "4 against the layout")
foreach(line IN LISTS expected)
  string(FIND "${out}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the check did not report \"${line}\":\n${out}")
  endif()
endforeach()
foreach(fine host/session/fine.h host/cli/fine.cpp host/sim/sim.h)
  string(FIND "${out}" "${fine}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "the check reported an include that is allowed (${fine}):\n${out}")
  endif()
endforeach()
message(STATUS "the planted includes are all reported, and only they")
