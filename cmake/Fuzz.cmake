# Reliability under load and bad input: the soak test (every build) and the
# libFuzzer targets (the fuzz preset, clang only).

# ---- Soak: many command cycles in one process, counting what stays alive ----
add_executable(orvo_soak ${CMAKE_SOURCE_DIR}/tests/soak/test_soak.cpp
               $<TARGET_OBJECTS:orvo_plugin_objects> $<TARGET_OBJECTS:orvo_binding_linked> $<TARGET_OBJECTS:orvo_resource_objects>
               $<TARGET_OBJECTS:host_objects>)
target_include_directories(orvo_soak PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources ${CMAKE_SOURCE_DIR}/tests)
target_include_directories(orvo_soak BEFORE PRIVATE ${CMAKE_SOURCE_DIR}/host/sim/include)
target_link_libraries(orvo_soak PRIVATE host_objects PkgConfig::LIBZIP GTest::gtest GTest::gtest_main ${CMAKE_DL_LIBS})
orvo_warnings(orvo_soak)
add_test(NAME soak COMMAND orvo_soak)
set_tests_properties(soak PROPERTIES LABELS soak TIMEOUT 600)

# ---- Fuzz targets: tests/fuzz/fuzz_NAME.cpp -> fuzz_NAME ----
option(ORVO_FUZZ "Build the libFuzzer targets (needs clang and -fsanitize=fuzzer-no-link on the code)" OFF)
if(ORVO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ORVO_FUZZ needs clang; use the fuzz preset")
  endif()
  add_custom_target(orvo_fuzz_targets)
  file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
  foreach(source IN LISTS FUZZ_SOURCES)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source}
                   $<TARGET_OBJECTS:orvo_plugin_objects> $<TARGET_OBJECTS:orvo_binding_linked> $<TARGET_OBJECTS:orvo_resource_objects>
                   $<TARGET_OBJECTS:host_objects>)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources ${CMAKE_SOURCE_DIR}/tests)
    target_include_directories(${name} BEFORE PRIVATE ${CMAKE_SOURCE_DIR}/host/sim/include)
    target_link_libraries(${name} PRIVATE host_objects PkgConfig::LIBZIP ${CMAKE_DL_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    orvo_warnings(${name})
    add_dependencies(orvo_fuzz_targets ${name})
  endforeach()
endif()
