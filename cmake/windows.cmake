# Cross build: the Win32 installer stub, the Windows-side test tools and the tests that run
# under Wine.
set(STATIC_LINK -static -static-libgcc -static-libstdc++)
set(WIN_LIBS ole32 oleaut32 uuid user32 gdi32 advapi32 shell32 shlwapi version comctl32 kernel32)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release)
endif()
set(CMAKE_CXX_FLAGS_RELEASE "-O2")

set(ZLIB_USE_STATIC_LIBS ON)
tessarin_add_libraries("${TESSARIN_WIN_SOURCES}")
target_link_options(tessarin-build PRIVATE ${STATIC_LINK})

# Icon resource 1 is drawn by a script so that no binary image lives in the repository.
set(ICON_FILE ${CMAKE_BINARY_DIR}/resources/setup.ico)
add_custom_command(OUTPUT ${ICON_FILE}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/resources/make_icon.py ${ICON_FILE}
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/make_icon.py
  COMMENT "Drawing the program icon")
add_custom_target(setup_icon DEPENDS ${ICON_FILE})
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/setup.rc PROPERTIES
  OBJECT_DEPENDS ${ICON_FILE})

add_executable(tessarin-setup WIN32 ${CMAKE_SOURCE_DIR}/setup/entry_win.cpp
  ${CMAKE_SOURCE_DIR}/resources/setup.rc)
add_dependencies(tessarin-setup setup_icon)
target_include_directories(tessarin-setup PRIVATE ${CMAKE_BINARY_DIR}/resources)
target_compile_options(tessarin-setup PRIVATE ${TESSARIN_WARNINGS} -municode)
target_link_options(tessarin-setup PRIVATE -municode -s ${STATIC_LINK})
target_link_libraries(tessarin-setup PRIVATE tessarin_core ${WIN_LIBS})
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/resources")

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

# One Wine prefix and one Xvfb display serve the whole run.
add_test(NAME wine.environment.start COMMAND ${WINE_ENV} start ${CMAKE_BINARY_DIR})
add_test(NAME wine.environment.stop COMMAND ${WINE_ENV} stop ${CMAKE_BINARY_DIR})
set_tests_properties(wine.environment.start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine.environment.stop PROPERTIES FIXTURES_CLEANUP wine)

add_test(NAME wine.unit COMMAND wine_tests)
file(GLOB E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.py)
set(E2E_NAMES)
foreach(script ${E2E_TESTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME e2e.${name} COMMAND python3 ${script})
  list(APPEND E2E_NAMES e2e.${name})
endforeach()
set_tests_properties(wine.unit ${E2E_NAMES} PROPERTIES
  FIXTURES_REQUIRED wine
  ENVIRONMENT "TESSARIN_BUILD=${CMAKE_BINARY_DIR};TESSARIN_SOURCE=${CMAKE_SOURCE_DIR}"
  TIMEOUT 300)
