# veltrane_add_fuzzer(NAME SOURCES src... LIBS lib...)
# Builds a libFuzzer target and registers it as a test (label "fuzz") that runs
# for a few seconds; only when VELTRANE_FUZZ is on and the compiler is clang.
function(veltrane_add_fuzzer name)
  cmake_parse_arguments(FZ "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT VELTRANE_FUZZ)
    return()
  endif()
  add_executable(${name} ${FZ_SOURCES})
  target_link_libraries(${name} PRIVATE project_options ${FZ_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name}
           COMMAND ${name} -max_total_time=${VELTRANE_FUZZ_SECONDS} -rss_limit_mb=2048 ${corpus})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

set(VELTRANE_FUZZ_SECONDS 5 CACHE STRING "Seconds each fuzzer runs as a test")
