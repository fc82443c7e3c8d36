# `cpack` zips what `cmake --install` installs: on Windows the kelvane-dat tool, the check program,
# the library, its headers and its CMake package, ready to unpack anywhere.
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kelvane_dat)
set(CPACK_PACKAGE_VENDOR kelvane_dat)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reads the block-structured data archives of the Kelvane game client")
set(CPACK_PACKAGE_FILE_NAME "kelvane_dat-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
