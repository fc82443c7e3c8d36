#pragma once

// Completion scripts for bash, zsh and fish, written from the command outline at build time: each
// completes the commands and nested subcommands, the options of the command typed so far, the
// words an option's value may be, and file names where an argument is a path.

#include <string>

#include "command_outline.hpp"

namespace kelvane_dat::cli {

// Sourced by bash-completion from share/bash-completion/completions/kelvane-dat.
std::string bash_completion(const CommandOutline& root);
// An autoloaded function file, share/zsh/site-functions/_kelvane-dat.
std::string zsh_completion(const CommandOutline& root);
// share/fish/vendor_completions.d/kelvane-dat.fish.
std::string fish_completion(const CommandOutline& root);

}  // namespace kelvane_dat::cli
