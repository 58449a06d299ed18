# Speed: Google Benchmark programs, built by the bench preset and run by
# scripts/run-bench.sh, never by the tests.
option(ORVO_BENCH "Build the benchmark programs" OFF)
if(ORVO_BENCH)
  find_package(benchmark REQUIRED)
  file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
  add_executable(orvo_bench ${BENCH_SOURCES}
                 $<TARGET_OBJECTS:orvo_plugin_objects> $<TARGET_OBJECTS:orvo_binding_linked> $<TARGET_OBJECTS:orvo_resource_objects>
                 $<TARGET_OBJECTS:host_objects>)
  target_include_directories(orvo_bench PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
  target_include_directories(orvo_bench BEFORE PRIVATE ${CMAKE_SOURCE_DIR}/host/sim/include)
  target_link_libraries(orvo_bench PRIVATE host_objects PkgConfig::LIBZIP benchmark::benchmark benchmark::benchmark_main ${CMAKE_DL_LIBS})
  orvo_warnings(orvo_bench)

  # The MusicXML benchmark's generator and floor (scripts/run-musicxml-bench.sh).
  add_executable(orvo_musicxml_tool ${CMAKE_SOURCE_DIR}/bench/musicxml/musicxml_tool.cpp)
  target_link_libraries(orvo_musicxml_tool PRIVATE pugixml::pugixml)
  orvo_warnings(orvo_musicxml_tool)
endif()
