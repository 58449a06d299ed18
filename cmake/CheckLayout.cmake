# The host's rooms in the order they are built on, lowest first (README,
# "Layout"). A file may include its own room, a room on a lower floor and the
# plug-in's headers; never a room on its own floor or above. The plug-in
# includes nothing of the host.
#
#   cmake -DROOT=<source dir> -P cmake/CheckLayout.cmake
#
# Fails with one line per include that runs the wrong way, and for a folder
# of host/ that is on no floor.
set(ORVO_HOST_FLOORS
    "sim"                  # the window system as the plug-in sees it (simulated on Linux)
    "document"             # the score document and its JSON
    "services,markup"      # the host services over a document; what the XML score formats share: the archive,
                           # encodings, splicing and escaping, verses, mapped texts and entry bits
    "musicxml,musescore"   # MusicXML scores and MuseScore scores, each read into a document and written back
    "scores"               # a score file of any format: told apart by content, read, written
    "session"              # what every kind of user needs: script, runner, key strokes, plug-in module, world
    "users"                # the automated users: text and entries subcommands, dry run, random sessions (monkey/)
    "terminal"             # a person at a terminal: the dialogs drawn with ncurses
    "cli"                  # the program's door: options, help, which user runs, exit status
    "win32")               # the Windows host: the window system, module loader and platform for Windows

if(NOT ROOT)
  message(FATAL_ERROR "CheckLayout.cmake: pass -DROOT=<source dir>")
endif()

set(_floor 0)
foreach(rooms IN LISTS ORVO_HOST_FLOORS)
  math(EXPR _floor "${_floor} + 1")
  string(REPLACE "," ";" rooms "${rooms}")
  foreach(room IN LISTS rooms)
    set(_floor_of_${room} ${_floor})
  endforeach()
endforeach()

set(_faults "")
set(_files 0)

file(GLOB _host_dirs LIST_DIRECTORIES true RELATIVE ${ROOT}/host ${ROOT}/host/*)
foreach(room IN LISTS _host_dirs)
  if(IS_DIRECTORY ${ROOT}/host/${room} AND NOT DEFINED _floor_of_${room})
    list(APPEND _faults "host/${room}: a room on no floor of the layout (cmake/CheckLayout.cmake, README)")
  endif()
endforeach()

file(GLOB_RECURSE _sources RELATIVE ${ROOT} ${ROOT}/host/*.h ${ROOT}/host/*.cpp ${ROOT}/shell/*.h ${ROOT}/shell/*.cpp
     ${ROOT}/textsearch/*.h ${ROOT}/textsearch/*.cpp ${ROOT}/entrysearch/*.h ${ROOT}/entrysearch/*.cpp
     ${ROOT}/resources/*.h)
foreach(source IN LISTS _sources)
  # host/sim/include is the window system's own windows.h.
  if(source MATCHES "^host/sim/include/")
    continue()
  endif()
  math(EXPR _files "${_files} + 1")
  if(source MATCHES "^host/([^/]+)/")
    set(_room ${CMAKE_MATCH_1})
    if(NOT DEFINED _floor_of_${_room})
      continue()  # reported above
    endif()
    set(_mine ${_floor_of_${_room}})
  else()
    set(_room "")
    set(_mine 0)  # the plug-in
  endif()
  file(STRINGS ${ROOT}/${source} _includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS _includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" _target "${line}")
    if(_target MATCHES "^host/([^/]+)/")
      set(_to ${CMAKE_MATCH_1})
      if(_mine EQUAL 0)
        list(APPEND _faults "${source}: includes ${_target}: the plug-in includes nothing of the host")
      elseif(NOT _to STREQUAL _room)
        if(NOT DEFINED _floor_of_${_to})
          list(APPEND _faults "${source}: includes ${_target}: host/${_to} is on no floor of the layout")
        elseif(NOT _floor_of_${_to} LESS _mine)
          if(_floor_of_${_to} EQUAL _mine)
            set(_where "on the same floor as")
          else()
            set(_where "above")
          endif()
          list(APPEND _faults "${source}: includes ${_target}: host/${_to} is ${_where} host/${_room}")
        endif()
      endif()
    endif()
  endforeach()
endforeach()

if(_faults)
  list(LENGTH _faults _count)
  list(JOIN _faults "\n  " _text)
  message(FATAL_ERROR "${_count} against the layout (includes, rooms):\n  ${_text}")
endif()
message(STATUS "layout: ${_files} files, every include from its own room or below")
