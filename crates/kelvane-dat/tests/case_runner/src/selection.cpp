#include <string_view>

#include "case_runner/runner.hpp"

namespace case_runner {
namespace {

bool matches(std::string_view name, const std::string& filter, bool exact) {
  return exact ? name == filter : name.find(filter) != std::string_view::npos;
}

bool matches_any(std::string_view name, const std::vector<std::string>& filters, bool exact) {
  for (const std::string& filter : filters) {
    if (matches(name, filter, exact)) return true;
  }
  return false;
}

}  // namespace

Selection select_cases(std::span<const CaseDescriptor> registry, const Options& options) {
  Selection selection;
  for (const CaseDescriptor& descriptor : registry) {
    if (!options.filters.empty() && !matches_any(descriptor.name, options.filters, options.exact)) {
      continue;
    }
    if (matches_any(descriptor.name, options.skip, options.exact)) continue;
    if (options.exclude_expected_failures &&
        descriptor.expected_failure.kind != ExpectedFailureKind::None) {
      continue;
    }
    if (options.run_ignored == RunIgnored::Only && !descriptor.ignored) continue;
    const bool reported_ignored = options.run_ignored == RunIgnored::No && descriptor.ignored;
    selection.cases.push_back({&descriptor, reported_ignored});
  }
  selection.filtered_out = registry.size() - selection.cases.size();
  return selection;
}

}  // namespace case_runner
