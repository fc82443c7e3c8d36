# Installing the library: headers, the static or shared library, a CMake package (namespace
# kelvane_dat::), a pkg-config file and the licence. Only the library is installed here (the
# kelvane-dat tool installs itself); test support, the reference implementations and the check
# program stay in the build tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KELVANE_PACKAGE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/kelvane_dat")
set(KELVANE_GENERATED_DIR "${CMAKE_CURRENT_BINARY_DIR}/generated")

# A shared library installs as libkelvane_dat.so.X.Y.Z with its SONAME link libkelvane_dat.so.X and
# the development link libkelvane_dat.so.
install(TARGETS kelvane_dat EXPORT kelvane_datTargets
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(DIRECTORY include/kelvane_dat "${KELVANE_GENERATED_DIR}/include/kelvane_dat"
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}"
  FILES_MATCHING PATTERN "*.hpp")
install(EXPORT kelvane_datTargets
  NAMESPACE kelvane_dat::
  DESTINATION "${KELVANE_PACKAGE_DIR}")
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

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
# What the library's users compile with: its include directory, and KELVANE_DAT_SHARED against the
# shared library (kelvane_dat/export.hpp).
set(KELVANE_PC_CFLAGS "-I\${includedir}")
if(KELVANE_DAT_TYPE STREQUAL "SHARED_LIBRARY")
  string(APPEND KELVANE_PC_CFLAGS " -DKELVANE_DAT_SHARED")
endif()
configure_file(cmake/kelvane_dat.pc.in "${KELVANE_GENERATED_DIR}/kelvane_dat.pc" @ONLY)
install(FILES "${KELVANE_GENERATED_DIR}/kelvane_dat.pc"
  DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
