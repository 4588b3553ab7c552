# Cross build: the Win32 installer stub, the Windows-side test tools and the tests that run
# under Wine. The i686 tree builds the product, tessarin-setup.exe (PE32); the x86_64 tree builds
# the same sources as tessarin-setup64.exe (PE32+), a second test vehicle that Wine's 64-bit
# loader runs on every machine, also where 32-bit x86 code cannot execute.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TESSARIN_BITS 64)
  set(TESSARIN_STUB_NAME tessarin-setup64)
else()
  set(TESSARIN_BITS 32)
  set(TESSARIN_STUB_NAME tessarin-setup)
endif()
set(TESSARIN_TIER wine${TESSARIN_BITS})
set(STATIC_LINK -static -static-libgcc -static-libstdc++)
set(WIN_LIBS ole32 oleaut32 uuid user32 gdi32 advapi32 shell32 shlwapi comctl32 kernel32)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release)
endif()
# The stub travels in every installer, so it is built for size; the code that every byte of
# the payload passes through (checksums, cipher, the data area's reader) keeps -O2.
set(CMAKE_CXX_FLAGS_RELEASE "-Os")
# Sections per function let the linker drop what nothing calls. Not in the 64-bit tree: there
# GCC's unwind directives for the guarded calls do not assemble in a function's own section.
if(TESSARIN_BITS EQUAL 32)
  string(APPEND CMAKE_CXX_FLAGS_RELEASE " -ffunction-sections -fdata-sections")
  set(SIZE_LINK -Wl,--gc-sections)
endif()
set_source_files_properties(${CMAKE_SOURCE_DIR}/core/string.cpp ${CMAKE_SOURCE_DIR}/core/blowfish.cpp
  ${CMAKE_SOURCE_DIR}/core/inflate.cpp ${CMAKE_SOURCE_DIR}/package/payload_reader.cpp
  PROPERTIES COMPILE_OPTIONS -O2)

set(ZLIB_USE_STATIC_LIBS ON)
tessarin_add_libraries("${TESSARIN_WIN_SOURCES}")
target_link_options(tessarin-build PRIVATE ${STATIC_LINK})

# Icon resource 1 and the wizard's bitmaps are drawn by scripts so that no binary image lives
# in the repository.
set(ICON_FILE ${CMAKE_BINARY_DIR}/resources/setup.ico)
add_custom_command(OUTPUT ${ICON_FILE}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/resources/make_icon.py ${ICON_FILE}
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/make_icon.py
  COMMENT "Drawing the program icon")
set(BITMAP_FILES)
foreach(name side image_accept image_cancel image_browse image_retry)
  list(APPEND BITMAP_FILES ${CMAKE_BINARY_DIR}/resources/${name}.bmp)
endforeach()
add_custom_command(OUTPUT ${BITMAP_FILES}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/resources/make_bitmaps.py ${CMAKE_BINARY_DIR}/resources
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/make_bitmaps.py
  COMMENT "Drawing the wizard's bitmaps")
add_custom_target(setup_icon DEPENDS ${ICON_FILE} ${BITMAP_FILES})
# Every resource script that includes the templates depends on what they include.
set(RESOURCE_DEPENDS ${ICON_FILE} ${BITMAP_FILES} ${CMAKE_SOURCE_DIR}/resources/setup.manifest
  ${CMAKE_SOURCE_DIR}/resources/wizard.rc ${CMAKE_SOURCE_DIR}/resources/dialogs.rc
  ${CMAKE_SOURCE_DIR}/resources/control_ids.h)
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/setup.rc
  ${CMAKE_SOURCE_DIR}/tests/wine/app_dialogs.rc ${CMAKE_SOURCE_DIR}/tests/tools/dialog_gallery.rc
  PROPERTIES OBJECT_DEPENDS "${RESOURCE_DEPENDS}")

add_executable(tessarin-setup WIN32 ${CMAKE_SOURCE_DIR}/setup/entry_win.cpp
  ${CMAKE_SOURCE_DIR}/setup/stub_runtime_win.cpp ${CMAKE_SOURCE_DIR}/resources/setup.rc)
set_target_properties(tessarin-setup PROPERTIES OUTPUT_NAME ${TESSARIN_STUB_NAME})
add_dependencies(tessarin-setup setup_icon)
target_include_directories(tessarin-setup PRIVATE ${CMAKE_BINARY_DIR}/resources)
target_compile_options(tessarin-setup PRIVATE ${TESSARIN_WARNINGS} -municode)
target_link_options(tessarin-setup PRIVATE -municode -s ${SIZE_LINK} ${STATIC_LINK})
target_link_libraries(tessarin-setup PRIVATE tessarin_core ${WIN_LIBS})
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/resources -I${CMAKE_SOURCE_DIR}/resources -DTESSARIN_BITS=${TESSARIN_BITS}")

# Test tools that run inside Wine.
foreach(tool runexact uiprobe)
  add_executable(${tool} ${CMAKE_SOURCE_DIR}/tests/tools/${tool}.cpp)
  target_compile_options(${tool} PRIVATE -municode)
  target_link_options(${tool} PRIVATE -municode ${STATIC_LINK})
  target_link_libraries(${tool} PRIVATE user32 kernel32)
endforeach()
# A test tool built on the library itself.
add_executable(regview ${CMAKE_SOURCE_DIR}/tests/tools/regview.cpp)
target_compile_options(regview PRIVATE ${TESSARIN_WARNINGS} -municode)
target_link_options(regview PRIVATE -municode ${STATIC_LINK})
target_link_libraries(regview PRIVATE tessarin_core ${WIN_LIBS})
add_executable(self_remover ${CMAKE_SOURCE_DIR}/tests/tools/self_remover.cpp)
target_compile_options(self_remover PRIVATE ${TESSARIN_WARNINGS} -municode)
target_link_options(self_remover PRIVATE -municode ${STATIC_LINK})
target_link_libraries(self_remover PRIVATE tessarin_core ${WIN_LIBS})
# The wizard's templates one after another, with the installer's manifest.
add_executable(dialog_gallery ${CMAKE_SOURCE_DIR}/tests/tools/dialog_gallery.cpp
  ${CMAKE_SOURCE_DIR}/tests/tools/dialog_gallery.rc)
add_dependencies(dialog_gallery setup_icon)
target_include_directories(dialog_gallery PRIVATE ${CMAKE_SOURCE_DIR}/tests/native
  ${CMAKE_SOURCE_DIR}/tests/wine)
target_compile_options(dialog_gallery PRIVATE ${TESSARIN_WARNINGS} -municode)
target_link_options(dialog_gallery PRIVATE -municode ${STATIC_LINK})
target_link_libraries(dialog_gallery PRIVATE tessarin_core ${WIN_LIBS})
add_executable(desktop_keeper WIN32 ${CMAKE_SOURCE_DIR}/tests/tools/desktop_keeper.cpp)
target_compile_options(desktop_keeper PRIVATE -municode)
target_link_options(desktop_keeper PRIVATE -municode ${STATIC_LINK})
target_link_libraries(desktop_keeper PRIVATE user32 kernel32)
add_executable(bgwindow WIN32 ${CMAKE_SOURCE_DIR}/tests/tools/bgwindow.cpp)
target_compile_options(bgwindow PRIVATE -municode)
target_link_options(bgwindow PRIVATE -municode ${STATIC_LINK})
target_link_libraries(bgwindow PRIVATE tessarin_build_lib tessarin_core ${WIN_LIBS})
# A DLL that marks its loading; planted under system names beside the installer.
add_library(planted_library SHARED ${CMAKE_SOURCE_DIR}/tests/tools/planted_library.cpp)
set_target_properties(planted_library PROPERTIES PREFIX "")
target_link_options(planted_library PRIVATE ${STATIC_LINK})
target_link_libraries(planted_library PRIVATE kernel32)

# GoogleTest from the Debian sources, built with the cross compiler.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(WINE_RUN ${CMAKE_SOURCE_DIR}/tests/harness/wine-run.sh)
set(WINE_ENV ${CMAKE_SOURCE_DIR}/tests/harness/wine-env.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_RUN})

# The portable tests run again here, against the real Windows conversions and comparisons.
file(GLOB WINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/wine/*.rc ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
add_executable(wine_tests ${WINE_TEST_SOURCES})
target_include_directories(wine_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/native)
target_link_libraries(wine_tests PRIVATE tessarin_build_lib tessarin_core gtest gtest_main ${WIN_LIBS})
target_link_options(wine_tests PRIVATE ${STATIC_LINK})
target_compile_options(wine_tests PRIVATE ${TESSARIN_WARNINGS})
add_dependencies(wine_tests setup_icon)

# One Wine prefix and one Xvfb display serve the tree's whole run; the run starts from a
# pristine copy of the prefix.
add_test(NAME ${TESSARIN_TIER}.environment.start COMMAND ${WINE_ENV} fresh ${CMAKE_BINARY_DIR})
add_test(NAME ${TESSARIN_TIER}.environment.stop COMMAND ${WINE_ENV} stop ${CMAKE_BINARY_DIR})
set_tests_properties(${TESSARIN_TIER}.environment.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
set_tests_properties(${TESSARIN_TIER}.environment.stop PROPERTIES FIXTURES_CLEANUP wine)

# The Wine unit tests run as one entry per test suite, so that a hang names its suite. A filter
# that matches nothing would pass silently: an entry passes only when a test passed or was
# skipped, and no test failed.
set(UNIT_SUITES)
foreach(source ${WINE_TEST_SOURCES})
  if(source MATCHES "\\.cpp$")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    file(STRINGS ${source} lines REGEX "^(TEST|TEST_F|TEST_P)\\( *[A-Za-z0-9_]+")
    foreach(line ${lines})
      string(REGEX REPLACE "^(TEST|TEST_F|TEST_P)\\( *([A-Za-z0-9_]+).*" "\\2" suite "${line}")
      list(APPEND UNIT_SUITES ${suite})
    endforeach()
  endif()
endforeach()
list(REMOVE_DUPLICATES UNIT_SUITES)
set(UNIT_NAMES)
foreach(suite ${UNIT_SUITES})
  set(name ${TESSARIN_TIER}.unit.${suite})
  add_test(NAME ${name} COMMAND wine_tests --gtest_filter=${suite}.*:*/${suite}.*)
  set_tests_properties(${name} PROPERTIES TIMEOUT 120
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [1-9]|\\[  SKIPPED \\] [1-9]"
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  list(APPEND UNIT_NAMES ${name})
endforeach()

file(GLOB E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.py)
set(E2E_NAMES)
foreach(script ${E2E_TESTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME ${TESSARIN_TIER}.e2e.${name} COMMAND python3 ${script})
  # The wizard's walks drive dozens of windows; with both tiers at work a walk has taken over
  # five minutes, so the hang guard gives them ten.
  set_tests_properties(${TESSARIN_TIER}.e2e.${name} PROPERTIES TIMEOUT 600)
  list(APPEND E2E_NAMES ${TESSARIN_TIER}.e2e.${name})
endforeach()
# Where tests run in two lanes, the longest start first, so that no long walk is left to run alone
# at the end: their usual seconds as their cost (CTest starts the costliest first; a tree that ran
# before knows the costs from its own last run).
set(E2E_COSTS test_wizard_branches 170 test_wizard 110 test_uninstall 70 test_wizard_pages 45
  test_background_window 40 test_reinstall 55 test_entry 20)
while(E2E_COSTS)
  list(POP_FRONT E2E_COSTS name cost)
  set_tests_properties(${TESSARIN_TIER}.e2e.${name} PROPERTIES COST ${cost})
endwhile()
# Each test takes one lane: a prefix and a display of its own while it runs (wine-env.sh). CTest
# hands lanes out only when it is given a resource file naming them (wine-tiers.sh does); without
# one every test runs in lane 1, one after the other.
set_tests_properties(${UNIT_NAMES} ${E2E_NAMES} PROPERTIES
  FIXTURES_REQUIRED wine
  RESOURCE_GROUPS lanes:1
  ENVIRONMENT "TESSARIN_BUILD=${CMAKE_BINARY_DIR};TESSARIN_SOURCE=${CMAKE_SOURCE_DIR};TESSARIN_STUB=${CMAKE_BINARY_DIR}/${TESSARIN_STUB_NAME}.exe")
