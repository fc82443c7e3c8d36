#include "kelvane_dat/error.hpp"

#include "detail/debug_format.hpp"

namespace kelvane_dat {

namespace {
template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
// Spelled out for compilers without class template argument deduction for aggregates (clang
// before 17, which builds the fuzz targets).
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

std::string wrap(std::string_view name, const std::string& payload) {
  std::string out(name);
  out.append("(").append(payload).append(")");
  return out;
}
}  // namespace

std::string DatError::to_string() const {
  return std::visit(
      Overloaded{
          [](const Io& e) { return "IO error: " + e.error.to_string(); },
          [](const BinRead& e) { return "Binary read error: " + e.error.to_string(); },
          [](const NotFound& e) { return "File ID " + hex8(e.file_id) + " not found in provider"; },
          [](const DuplicateId& e) { return "Duplicate File ID " + hex8(e.file_id) + " detected"; },
          [](const DuplicateNamespacedId& e) {
            return "Duplicate namespaced file " + e.namespace_name + ":" + hex8(e.file_id) +
                   " detected";
          },
          [](const InvalidMagic& e) { return "Invalid magic for format: " + e.text; },
          [](const UnsupportedVersion& e) {
            return "Unsupported version: " + std::to_string(e.version);
          },
          [](const InvalidNamespace& e) { return "Invalid namespace: " + e.text; },
          [](const Corruption& e) { return "Corruption detected: " + e.text; },
          [](const DecompressionFailed& e) {
            return "Failed to recover compressed file " + hex8(e.file_id);
          },
          [](const PathError& e) {
            return "Failed to open file at " + path_to_lossy_utf8(e.path) + ": " +
                   e.source.to_string();
          },
          [](const Other& e) { return "Other error: " + e.text; },
      },
      v_);
}

std::string DatError::debug_string() const {
  using kelvane_dat::debug_string;
  return std::visit(
      Overloaded{
          [](const Io& e) { return wrap("Io", e.error.debug_string()); },
          [](const BinRead& e) { return wrap("BinRead", e.error.debug_string()); },
          [](const NotFound& e) { return wrap("NotFound", debug_string(e.file_id)); },
          [](const DuplicateId& e) { return wrap("DuplicateId", debug_string(e.file_id)); },
          [](const DuplicateNamespacedId& e) {
            return "DuplicateNamespacedId { namespace: " + debug_string(e.namespace_name) +
                   ", file_id: " + debug_string(e.file_id) + " }";
          },
          [](const InvalidMagic& e) { return wrap("InvalidMagic", debug_string(e.text)); },
          [](const UnsupportedVersion& e) {
            return wrap("UnsupportedVersion", debug_string(e.version));
          },
          [](const InvalidNamespace& e) { return wrap("InvalidNamespace", debug_string(e.text)); },
          [](const Corruption& e) { return wrap("Corruption", debug_string(e.text)); },
          [](const DecompressionFailed& e) {
            return wrap("DecompressionFailed", debug_string(e.file_id));
          },
          [](const PathError& e) {
            return "PathError { path: " + debug_string(path_to_lossy_utf8(e.path)) +
                   ", source: " + e.source.debug_string() + " }";
          },
          [](const Other& e) { return wrap("Other", debug_string(e.text)); },
      },
      v_);
}

std::ostream& operator<<(std::ostream& out, const DatError& error) {
  // write() rather than <<: a caller's width or fill must not change the text.
  const std::string text = error.to_string();
  return out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace kelvane_dat
