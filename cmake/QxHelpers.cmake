# Leak reports that are not ours (the system font caches); linked into every program.
set(QX_LEAK_SUPPRESSIONS ${CMAKE_SOURCE_DIR}/app/LeakSuppressions.cpp)

# qx_add_library(NAME SOURCES ... DEPS ...): one library target of a layer.
function(qx_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC qx_options ${ARG_DEPS})
endfunction()

# qx_add_test(NAME SOURCES ... DEPS ...): one GoogleTest executable; every test case
# becomes its own ctest entry (and so its own process), listed when ctest runs.
function(qx_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${QX_LEAK_SUPPRESSIONS})
  target_link_libraries(${name} PRIVATE qx_options qx_test_support ${ARG_DEPS} GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "TZ=Europe/Berlin;QX_TEST_MODE=1")
endfunction()

# qx_add_benchmark(NAME SOURCES ... DEPS ...): a Google Benchmark program.
function(qx_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE qx_options ${ARG_DEPS} benchmark::benchmark)
  # bench/BenchSupport.h: medians, ratios and scratch folders shared by the programs.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/bench)
endfunction()

# qx_add_fuzzer(NAME SOURCES ... DEPS ... CORPUS dir): a libFuzzer target, built into
# fuzzers/ of the build folder beside a NAME.corpus file naming its seed corpus; .ci/run
# runs every target there for a bounded time.
function(qx_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${QX_LEAK_SUPPRESSIONS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE qx_options ${ARG_DEPS})
  file(WRITE ${CMAKE_BINARY_DIR}/fuzzers/${name}.corpus "${ARG_CORPUS}\n")
endfunction()

# qx_layer(NAME DEPS ...): the library of the calling layer folder, made of every .cpp in it
# (sub-folders included), so that adding a file needs no edit here.
function(qx_layer name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  qx_add_library(${name} SOURCES ${sources} DEPS ${ARG_DEPS})
endfunction()

# qx_layer_tests(NAME DEPS ...): one test program of every .cpp in the calling tests folder.
function(qx_layer_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  qx_add_test(${name} SOURCES ${sources} DEPS ${ARG_DEPS})
endfunction()
