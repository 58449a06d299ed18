# Windows: the plug-in DLL with its dialog resources, veldune-host.exe on real
# user32, the tests that run it under Wine, and the ZIP package.
#
# Works with the MinGW-w64 cross compilers (cmake/toolchain-mingw-*.cmake);
# the MSVC branches are written for a Visual Studio build of the same files.
enable_language(RC)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ORVO_ARCH x64)
else()
  set(ORVO_ARCH x86)
endif()

# Only Windows' own DLLs at run time: no libstdc++-6.dll, libgcc or
# winpthread beside the plug-in, no VC++ redistributable.
set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
function(orvo_static_runtime target)
  if(NOT MSVC)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

# The real <windows.h> defines min and max unless told not to.
target_compile_definitions(orvo_plugin_objects PUBLIC NOMINMAX WIN32_LEAN_AND_MEAN)

# The .def file the host exports its services with. The plug-in does not
# import them: it looks them up in whatever program loaded it.
set(ORVO_HOST_DEF ${CMAKE_SOURCE_DIR}/host/win32/veldune-host.def)

# ---- The plug-in --------------------------------------------------------------
add_library(OrvoSearchReplace MODULE $<TARGET_OBJECTS:orvo_plugin_objects> $<TARGET_OBJECTS:orvo_binding_module>
                                     ${CMAKE_SOURCE_DIR}/resources/dialogs.rc
                                     ${CMAKE_SOURCE_DIR}/shell/OrvoSearchReplace.def)
set_target_properties(OrvoSearchReplace PROPERTIES PREFIX "" OUTPUT_NAME OrvoSearchReplace)
target_include_directories(OrvoSearchReplace PRIVATE ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(OrvoSearchReplace PRIVATE user32 gdi32 advapi32 kernel32)
orvo_static_runtime(OrvoSearchReplace)

# ---- veldune-host.exe -----------------------------------------------------------
# The shared document, services, score files, session, users and command
# line, with host/win32 in place of the simulated window system. The random
# sessions (host/users/monkey) are left out.
if(ORVO_BUILD_HOST)
  if(CMAKE_CROSSCOMPILING AND NOT MSVC)
    # The header-only libraries come from the build machine. Only their own
    # folders go on the target's include path, never /usr/include itself,
    # whose C library headers would shadow MinGW's.
    find_path(ORVO_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    find_path(ORVO_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(ORVO_THIRD_PARTY ${CMAKE_BINARY_DIR}/third-party-include)
    file(MAKE_DIRECTORY ${ORVO_THIRD_PARTY})
    foreach(dir nlohmann CLI)
      if(dir STREQUAL nlohmann)
        set(_from ${ORVO_NLOHMANN_INCLUDE}/nlohmann)
      else()
        set(_from ${ORVO_CLI11_INCLUDE}/CLI)
      endif()
      if(NOT EXISTS ${ORVO_THIRD_PARTY}/${dir})
        file(CREATE_LINK ${_from} ${ORVO_THIRD_PARTY}/${dir} SYMBOLIC)
      endif()
    endforeach()
    add_library(orvo_third_party INTERFACE)
    target_include_directories(orvo_third_party SYSTEM INTERFACE ${ORVO_THIRD_PARTY})
  else()
    find_package(nlohmann_json 3 REQUIRED)
    find_package(CLI11 REQUIRED)
    add_library(orvo_third_party INTERFACE)
    target_link_libraries(orvo_third_party INTERFACE nlohmann_json::nlohmann_json CLI11::CLI11)
  endif()

  file(GLOB WIN_HOST_SOURCES CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/host/document/*.cpp
       ${CMAKE_SOURCE_DIR}/host/services/*.cpp
       ${CMAKE_SOURCE_DIR}/host/scores/*.cpp
       ${CMAKE_SOURCE_DIR}/host/session/*.cpp
       ${CMAKE_SOURCE_DIR}/host/users/*.cpp
       ${CMAKE_SOURCE_DIR}/host/cli/*.cpp
       ${CMAKE_SOURCE_DIR}/host/win32/*.cpp)
  # The POSIX module loader is replaced by host/win32/plugin_module_win32.cpp.
  list(FILTER WIN_HOST_SOURCES EXCLUDE REGEX ".*/host/[^/]+/[^/]*posix[^/]*\\.cpp$")
  if(EXISTS ${CMAKE_SOURCE_DIR}/host/cli/main.cpp)
    add_library(win_host_objects OBJECT ${WIN_HOST_SOURCES})
    target_include_directories(win_host_objects PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
    target_compile_definitions(win_host_objects PUBLIC NOMINMAX WIN32_LEAN_AND_MEAN)
    target_link_libraries(win_host_objects PUBLIC orvo_third_party)
    orvo_warnings(win_host_objects)

    # veldune-host.exe exports every service. veldune-host-lacking.exe is the
    # same program without HS_LoadTGF in its export table, as a host the
    # plug-in was not made for would be.
    file(READ ${ORVO_HOST_DEF} _def_text)
    string(REGEX REPLACE "\n[ \t]*HS_LoadTGF[ \t]*\n" "\n" _def_text "${_def_text}")
    set(ORVO_LACKING_DEF ${CMAKE_BINARY_DIR}/veldune-host-lacking.def)
    file(CONFIGURE OUTPUT ${ORVO_LACKING_DEF} CONTENT "${_def_text}" @ONLY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ORVO_HOST_DEF})
    foreach(host IN ITEMS veldune-host veldune-host-lacking)
      if(host STREQUAL veldune-host)
        set(_def ${ORVO_HOST_DEF})
      else()
        set(_def ${ORVO_LACKING_DEF})
      endif()
      add_executable(${host} $<TARGET_OBJECTS:win_host_objects> ${_def})
      target_link_libraries(${host} PRIVATE win_host_objects user32 gdi32 advapi32 kernel32)
      set_target_properties(${host} PROPERTIES ENABLE_EXPORTS ON)
      orvo_static_runtime(${host})
      add_dependencies(${host} OrvoSearchReplace)
    endforeach()
    set(ORVO_HAVE_WIN_HOST ON)
  else()
    message(STATUS "host/cli/main.cpp not there yet: building the plug-in DLL only")
    set(ORVO_HAVE_WIN_HOST OFF)
  endif()
endif()

# ---- Tests under Wine -----------------------------------------------------------
enable_testing()
include(${CMAKE_SOURCE_DIR}/tests/wine/WineTests.cmake)

# ---- Package ----------------------------------------------------------------------
# One ZIP with both DLLs: this build's in its architecture's folder and the
# other one's taken from its build folder (build the mingw-x86 preset first).
install(TARGETS OrvoSearchReplace LIBRARY DESTINATION ${ORVO_ARCH} RUNTIME DESTINATION ${ORVO_ARCH})
if(ORVO_ARCH STREQUAL x64)
  set(ORVO_PACKAGE_OTHER_DLL ${CMAKE_SOURCE_DIR}/build/mingw-x86/OrvoSearchReplace.dll
      CACHE FILEPATH "The x86 DLL the package carries beside this build's x64 one")
  set(_other x86)
else()
  set(ORVO_PACKAGE_OTHER_DLL ${CMAKE_SOURCE_DIR}/build/mingw-x64/OrvoSearchReplace.dll
      CACHE FILEPATH "The x64 DLL the package carries beside this build's x86 one")
  set(_other x64)
endif()
install(CODE "
  if(NOT EXISTS \"${ORVO_PACKAGE_OTHER_DLL}\")
    message(FATAL_ERROR \"The package needs the ${_other} DLL at ${ORVO_PACKAGE_OTHER_DLL}: build the mingw-${_other} preset first (cmake --workflow --preset build-${_other}).\")
  endif()")
install(FILES ${ORVO_PACKAGE_OTHER_DLL} DESTINATION ${_other})
install(FILES ${CMAKE_SOURCE_DIR}/docs/INSTALL-windows.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME OrvoSearchReplace)
set(CPACK_PACKAGE_VENDOR "Orvo Plugins")
set(CPACK_PACKAGE_FILE_NAME "OrvoSearchReplace-${PROJECT_VERSION}-windows")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
