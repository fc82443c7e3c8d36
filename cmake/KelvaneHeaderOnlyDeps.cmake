# CLI11 (libcli11-dev) and nlohmann/json (nlohmann-json3-dev): the header-only libraries of the
# command-line tool and the sample archive generator, as the imported targets CLI11::CLI11 and
# nlohmann_json::nlohmann_json. A missing one stops the configure with one line naming its
# Debian package and what to turn off.
#
# Cross-compiling, the target's find root holds neither, and the host's /usr/include as a whole
# must not reach the target's compiler; the two headers' own folders, linked into the build tree,
# are all it sees.
function(kelvane_header_only_dependency target package config_name header_folder option_hint)
  if(TARGET ${target})
    return()
  endif()
  if(CMAKE_CROSSCOMPILING)
    set(host_headers /usr/include/${header_folder})
    if(NOT IS_DIRECTORY ${host_headers})
      message(FATAL_ERROR "${config_name} not found: install ${package}, or ${option_hint}")
    endif()
    set(linked ${CMAKE_BINARY_DIR}/header-only-deps/${config_name})
    file(MAKE_DIRECTORY ${linked})
    file(CREATE_LINK ${host_headers} ${linked}/${header_folder} SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${linked})
    return()
  endif()
  find_package(${config_name} CONFIG QUIET)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "${config_name} not found: install ${package}, or ${option_hint}")
  endif()
endfunction()
