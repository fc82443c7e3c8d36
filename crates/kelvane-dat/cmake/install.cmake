# Installing the library: headers, the static library, a CMake package (namespace kelvane_dat::)
# and a pkg-config file. Only the library is installed here; test support and the check program
# stay in the build tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KELVANE_PACKAGE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/kelvane_dat")
set(KELVANE_GENERATED_DIR "${CMAKE_CURRENT_BINARY_DIR}/generated")

install(TARGETS kelvane_dat EXPORT kelvane_datTargets
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(DIRECTORY include/kelvane_dat "${KELVANE_GENERATED_DIR}/include/kelvane_dat"
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}"
  FILES_MATCHING PATTERN "*.hpp")
install(EXPORT kelvane_datTargets
  NAMESPACE kelvane_dat::
  DESTINATION "${KELVANE_PACKAGE_DIR}")

configure_package_config_file(cmake/kelvane_datConfig.cmake.in
  "${KELVANE_GENERATED_DIR}/kelvane_datConfig.cmake"
  INSTALL_DESTINATION "${KELVANE_PACKAGE_DIR}")
# Before 1.0 a minor release may change the interface, so only the same minor version matches.
write_basic_package_version_file("${KELVANE_GENERATED_DIR}/kelvane_datConfigVersion.cmake"
  VERSION "${kelvane_dat_VERSION}"
  COMPATIBILITY SameMinorVersion)
install(FILES
  "${KELVANE_GENERATED_DIR}/kelvane_datConfig.cmake"
  "${KELVANE_GENERATED_DIR}/kelvane_datConfigVersion.cmake"
  DESTINATION "${KELVANE_PACKAGE_DIR}")

# The .pc file finds its prefix from its own location, so a tree installed with
# `cmake --install --prefix` (or moved afterwards) stays usable. Absolute directories pin it.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(KELVANE_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(KELVANE_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(KELVANE_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH pc_to_prefix "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
  set(KELVANE_PC_PREFIX "\${pcfiledir}/${pc_to_prefix}")
  set(KELVANE_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(KELVANE_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(cmake/kelvane_dat.pc.in "${KELVANE_GENERATED_DIR}/kelvane_dat.pc" @ONLY)
install(FILES "${KELVANE_GENERATED_DIR}/kelvane_dat.pc"
  DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
