#include "kelvane_dat/read_error.hpp"

#include "detail/debug_format.hpp"

namespace kelvane_dat {

namespace {
constexpr std::string_view kOpeningRule =
    " ----------------------------- Backtrace -----------------------------";
constexpr std::string_view kClosingRule =
    " ---------------------------------------------------------------------";

std::string inner_text(const std::variant<IoError, ReadError::Assertion>& inner) {
  if (const auto* io = std::get_if<IoError>(&inner)) return io->to_string();
  const auto& assertion = std::get<ReadError::Assertion>(inner);
  return assertion.message + " at 0x" + hex_lower(assertion.position);
}
}  // namespace

ReadError ReadError::assertion(std::string message, std::uint64_t position) {
  return ReadError(Assertion{std::move(message), position});
}

ReadError ReadError::with_field_context(std::string_view field, std::string_view record,
                                        std::source_location where) && {
  std::string message = "While parsing field '";
  message.append(field).append("' in ").append(record);
  return std::move(*this).with_context(
      ContextFrame{std::move(message), where.file_name(), where.line()});
}

ReadError ReadError::with_context(ContextFrame frame) && {
  frames_.push_back(std::move(frame));
  return std::move(*this);
}

std::string ReadError::to_string() const {
  if (frames_.empty()) return inner_text(inner_);
  std::string out = "\n";
  out.append(kOpeningRule).append("\n\n");
  for (std::size_t i = 0; i < frames_.size(); ++i) {
    const ContextFrame& frame = frames_[i];
    out.append(" ").append(std::to_string(i)).append(": ");
    if (i == 0) out.append("Error: ").append(inner_text(inner_)).append("\n    ");
    out.append(frame.message).append("\n");
    out.append("     at ")
        .append(frame.file)
        .append(":")
        .append(std::to_string(frame.line))
        .append("\n");
  }
  out.append("\n").append(kClosingRule).append("\n");
  return out;
}

std::string ReadError::to_one_line_string() const {
  std::string out;
  for (auto frame = frames_.rbegin(); frame != frames_.rend(); ++frame) {
    std::string message = frame->message;
    // A frame starts a sentence in the multi-line form; mid-line it reads as a clause.
    if (!message.empty() && message[0] >= 'A' && message[0] <= 'Z') {
      message[0] = static_cast<char>(message[0] - 'A' + 'a');
    }
    out.append(message).append(": ");
  }
  return out.append(inner_text(inner_));
}

std::ostream& operator<<(std::ostream& out, const ReadError& error) {
  // write() rather than <<: a caller's width or fill must not change the text.
  const std::string text = error.to_string();
  return out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace kelvane_dat
