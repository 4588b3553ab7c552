# Native build: the portable core and its tests under AddressSanitizer and UBSan.
if(TESSARIN_SANITIZE)
  set(SANITIZE_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${SANITIZE_FLAGS})
  add_link_options(${SANITIZE_FLAGS})
endif()
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Debug)
endif()

tessarin_add_libraries("${TESSARIN_NATIVE_SOURCES}")
add_executable(payload_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tools/bench/payload_bench.cpp)
target_link_libraries(payload_bench PRIVATE tessarin_build_lib)

find_package(GTest REQUIRED)
file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
add_executable(native_tests ${NATIVE_TEST_SOURCES})
target_link_libraries(native_tests PRIVATE tessarin_build_lib tessarin_core GTest::gtest GTest::gtest_main)
target_compile_options(native_tests PRIVATE ${TESSARIN_WARNINGS})
include(GoogleTest)
gtest_discover_tests(native_tests TEST_PREFIX "native." DISCOVERY_TIMEOUT 60)

# Fuzz targets (clang's libFuzzer), built by "make fuzz" in a tree of their own: every
# tests/fuzz/NAME_fuzz.cpp is a target, every tests/fuzz/NAME_seeds.cpp the writer of its seed
# corpus (called as NAME_seeds OUT_DIR INSTALLERS_DIR). "fuzz_targets" builds them all.
option(TESSARIN_FUZZ "Build the libFuzzer targets" OFF)
if(TESSARIN_FUZZ)
  # The parsers live in the library: without coverage instrumentation there, libFuzzer sees
  # only the target's own lines and cannot tell an input that goes deeper from one that does not.
  target_compile_options(tessarin_core PRIVATE -fsanitize=fuzzer-no-link)
  add_custom_target(fuzz_targets)
  file(GLOB FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
  foreach(source ${FUZZ_TARGETS})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE tessarin_core)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(fuzz_targets ${name})
  endforeach()
  file(GLOB FUZZ_SEEDS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_seeds.cpp)
  foreach(source ${FUZZ_SEEDS})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE tessarin_build_lib)
    add_dependencies(fuzz_targets ${name})
  endforeach()
endif()
