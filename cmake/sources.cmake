# Source sets. Portable modules build everywhere; *_win.cpp only for Windows and *_native.cpp
# only for the native build, which keeps Win32 calls out of the portable core by construction.
# Folders of the layout that hold sources today; a new one (net) joins here.
set(TESSARIN_SOURCE_DIRS core package services ui actions uninstall setup)

set(TESSARIN_PORTABLE_SOURCES)
set(TESSARIN_WIN_SOURCES)
set(TESSARIN_NATIVE_SOURCES)
foreach(dir ${TESSARIN_SOURCE_DIRS})
  file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  foreach(f ${found})
    if(f MATCHES "_win\\.cpp$")
      list(APPEND TESSARIN_WIN_SOURCES ${f})
    elseif(f MATCHES "_native\\.cpp$")
      list(APPEND TESSARIN_NATIVE_SOURCES ${f})
    else()
      list(APPEND TESSARIN_PORTABLE_SOURCES ${f})
    endif()
  endforeach()
endforeach()
# The entry and the stub's slimmed runtime pieces are the program itself, not part of the library.
list(FILTER TESSARIN_WIN_SOURCES EXCLUDE REGEX "/setup/(entry|stub_runtime)_win\\.cpp$")

set(TESSARIN_WARNINGS -Wall -Wextra -Wno-unused-parameter)

# The build tool's library: payload writer and dump, shared by the CLI and the tests.
file(GLOB TESSARIN_BUILD_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/build/*.cpp)

# The core library (portable sources plus the platform's own) and the build tool on top of it.
function(tessarin_add_libraries platform_sources)
  add_library(tessarin_core STATIC ${TESSARIN_PORTABLE_SOURCES} ${platform_sources})
  target_include_directories(tessarin_core PUBLIC ${CMAKE_SOURCE_DIR})
  find_package(ZLIB REQUIRED)
  target_link_libraries(tessarin_core PUBLIC ZLIB::ZLIB)
  target_compile_options(tessarin_core PRIVATE ${TESSARIN_WARNINGS})

  add_library(tessarin_build_lib STATIC ${TESSARIN_BUILD_SOURCES})
  # The payload writer packs data blocks on a pool of std::threads.
  find_package(Threads REQUIRED)
  target_link_libraries(tessarin_build_lib PUBLIC tessarin_core Threads::Threads)
  target_compile_options(tessarin_build_lib PRIVATE ${TESSARIN_WARNINGS})
  # The build tool packs with libdeflate where the platform has it (linked statically, so the
  # tool runs where the library is not installed); the Windows build packs with zlib.
  if(NOT CMAKE_CROSSCOMPILING)
    find_path(LIBDEFLATE_HEADERS libdeflate.h)
    find_library(LIBDEFLATE_LIBRARY NAMES libdeflate.a deflate)
    if(NOT LIBDEFLATE_HEADERS OR NOT LIBDEFLATE_LIBRARY)
      message(FATAL_ERROR "libdeflate not found (package libdeflate-dev)")
    endif()
    target_include_directories(tessarin_build_lib PRIVATE ${LIBDEFLATE_HEADERS})
    target_link_libraries(tessarin_build_lib PUBLIC ${LIBDEFLATE_LIBRARY})
    target_compile_definitions(tessarin_build_lib PRIVATE TESSARIN_HAVE_LIBDEFLATE)
  endif()
  # The manifest parser, toml++, is header-only. The cross tree must not search the host's
  # include folder, so it gets a folder that holds only a link to toml++'s headers.
  if(CMAKE_CROSSCOMPILING)
    find_path(TOMLPP_HEADERS toml++/toml.h PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT TOMLPP_HEADERS)
      message(FATAL_ERROR "toml++ headers not found (package libtomlplusplus-dev)")
    endif()
    set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
    file(MAKE_DIRECTORY ${host_headers})
    file(CREATE_LINK ${TOMLPP_HEADERS}/toml++ ${host_headers}/toml++ SYMBOLIC)
    target_include_directories(tessarin_build_lib SYSTEM PUBLIC ${host_headers})
  else()
    find_package(tomlplusplus REQUIRED)
    target_link_libraries(tessarin_build_lib PUBLIC tomlplusplus::tomlplusplus)
  endif()
  add_executable(tessarin-build ${CMAKE_SOURCE_DIR}/tools/tessarin_build.cpp)
  target_link_libraries(tessarin-build PRIVATE tessarin_build_lib)
  target_compile_options(tessarin-build PRIVATE ${TESSARIN_WARNINGS})
endfunction()
