# The install rules both shared libraries share. For a library target NAME
# (velloc, ostrel) with package PACKAGE (Velloc, Ostrel):
#   - the library, with its SONAME, in the component NAME;
#   - its public headers, include/ of its folder and the shared headers of
#     common/include it names in SHARED_HEADERS, under include/NAME;
#   - the CMake package (PACKAGE::NAME) from PACKAGEConfig.cmake.in and its
#     version file, and the pkg-config file from NAME.pc.in;
#   - the example PROGRAMS.
# The target's build tree uses include/ through its include directories, so
# the rest of the tree includes the headers by their names alone.
include(CMakePackageConfigHelpers)
include(GNUInstallDirs)

function(corvane_shared_library name)
  cmake_parse_arguments(ARG "" "PACKAGE;VERSION" "SHARED_HEADERS;PROGRAMS" ${ARGN})
  set(source ${CMAKE_CURRENT_SOURCE_DIR})
  string(REGEX MATCH "^[0-9]+" major "${ARG_VERSION}")
  set_target_properties(${name} PROPERTIES VERSION ${ARG_VERSION} SOVERSION ${major}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${source}/include>
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/common/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/${name}>
    PRIVATE ${source})
  # The version script keeps everything but the public classes local.
  target_link_options(${name} PRIVATE -Wl,--no-undefined -Wl,--version-script=${source}/${name}.map)
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${source}/${name}.map)

  file(GLOB headers ${source}/include/*.h)
  list(TRANSFORM ARG_SHARED_HEADERS PREPEND ${PROJECT_SOURCE_DIR}/common/include/)
  install(TARGETS ${name} EXPORT ${ARG_PACKAGE}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${name})
  install(FILES ${headers} ${ARG_SHARED_HEADERS}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${name} COMPONENT ${name})
  if(ARG_PROGRAMS)
    install(TARGETS ${ARG_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${name})
  endif()

  set(cmakedir ${CMAKE_INSTALL_LIBDIR}/cmake/${ARG_PACKAGE})
  install(EXPORT ${ARG_PACKAGE}Targets NAMESPACE ${ARG_PACKAGE}:: DESTINATION ${cmakedir} COMPONENT ${name})
  configure_package_config_file(${source}/${ARG_PACKAGE}Config.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/${ARG_PACKAGE}Config.cmake INSTALL_DESTINATION ${cmakedir})
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${ARG_PACKAGE}ConfigVersion.cmake
    VERSION ${ARG_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${ARG_PACKAGE}Config.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/${ARG_PACKAGE}ConfigVersion.cmake DESTINATION ${cmakedir} COMPONENT ${name})

  # The prefix is found from where the .pc file lies, so `cmake --install --prefix` works.
  file(RELATIVE_PATH PC_PREFIX_FROM_PCDIR "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  set(PC_VERSION ${ARG_VERSION})
  configure_file(${source}/${name}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${name})
endfunction()
