#pragma once

#include <string>

namespace case_runner::internal {

// "No such file or directory (os error 2)"; thread-safe (strerror_r).
std::string os_error_text(int code);

}  // namespace case_runner::internal
