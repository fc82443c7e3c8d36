# nlohmann/json (header-only) as the target nlohmann_json::nlohmann_json. A cross build finds no
# package for its target system, so it takes the build host's headers, copied into the build tree:
# adding the host's include directory itself would bring the host's C library headers along.
find_package(nlohmann_json 3 QUIET)
if(NOT nlohmann_json_FOUND AND NOT TARGET nlohmann_json::nlohmann_json)
  find_path(KELVANE_NLOHMANN_JSON_HOST_INCLUDE nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(copied ${PROJECT_BINARY_DIR}/nlohmann-json/include)
  file(COPY ${KELVANE_NLOHMANN_JSON_HOST_INCLUDE}/nlohmann DESTINATION ${copied})
  add_library(kelvane_nlohmann_json INTERFACE)
  target_include_directories(kelvane_nlohmann_json SYSTEM INTERFACE ${copied})
  add_library(nlohmann_json::nlohmann_json ALIAS kelvane_nlohmann_json)
endif()
