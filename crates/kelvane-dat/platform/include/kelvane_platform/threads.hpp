#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane_platform {

// The system's id of the calling thread, as debuggers and process monitors show it.
std::uint64_t current_thread_id();

// Names the calling thread for debuggers; the system may truncate the name (15 bytes on Linux).
void name_current_thread(std::string_view name);
// The calling thread's name, empty when it has none.
std::string current_thread_name();

// How many threads the process may run at once (its CPU affinity), when the system says.
std::optional<std::size_t> available_parallelism();

}  // namespace kelvane_platform
