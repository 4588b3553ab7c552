# The build tool as published (make install, make dist, from a release tree): it must run on
# Linux systems that have neither this C++ runtime nor toml++, so it links the C++ runtime
# statically and uses toml++ as the header-only library it also is.
if(NOT WIN32 AND NOT TESSARIN_SANITIZE AND CMAKE_BUILD_TYPE STREQUAL "Release")
  target_link_options(tessarin-build PRIVATE -static-libstdc++ -static-libgcc)
  if(TARGET tomlplusplus::tomlplusplus)
    get_target_property(toml_headers tomlplusplus::tomlplusplus INTERFACE_INCLUDE_DIRECTORIES)
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(libraries tessarin_build_lib ${property})
      list(REMOVE_ITEM libraries tomlplusplus::tomlplusplus)
      set_property(TARGET tessarin_build_lib PROPERTY ${property} ${libraries})
    endforeach()
    target_include_directories(tessarin_build_lib SYSTEM PUBLIC ${toml_headers})
  endif()
endif()
