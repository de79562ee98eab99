#include "convert/exact_blocks.h"

#include "convert/in_place.h"

#include <algorithm>
#include <cstring>

namespace quillvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

} // namespace

std::size_t ExactBlockSplicer::NextOccurrence::From(std::string_view text, std::size_t from) {
    if (!searched_ || found_ < from) {
        found_ = finder_.Find(text, from);
        searched_ = true;
    }
    return found_;
}

ExactBlockSplicer::ExactBlockSplicer(const BlockMarkers& markers)
    : markers_(markers),
      spacedOpening_(std::string(markers.spacedOpening)
                         .append(markers.opening.substr(markers.spacedOpening.size() - 1))),
      operandStart_(std::string("\"").append(markers.joiner)),
      operandEnd_(std::string(markers.joiner).append("\"")), closings_(markers.closing),
      lineBreaks_(kLineBreak) {}

std::size_t ExactBlockSplicer::Growth() const {
    const std::size_t added = operandStart_.size() + operandEnd_.size();
    const std::size_t removed =
        std::min(markers_.opening.size(), spacedOpening_.size()) + markers_.closing.size();
    return added > removed ? added - removed : 0;
}

std::optional<ExactBlockSplicer::Block> ExactBlockSplicer::Find(std::string_view text, std::size_t at) {
    const std::string_view rest = text.substr(at);
    const std::size_t opening = rest.starts_with(spacedOpening_)     ? spacedOpening_.size()
                                : rest.starts_with(markers_.opening) ? markers_.opening.size()
                                                                     : 0;
    if (opening == 0)
        return std::nullopt;
    const std::size_t contentBegin = at + opening;
    const std::size_t close = closings_.From(text, contentBegin);
    if (close == kNone || close > lineBreaks_.From(text, contentBegin))
        return std::nullopt;
    std::string_view content = text.substr(contentBegin, close - contentBegin);
    if (content.starts_with(markers_.echoSign))
        content.remove_prefix(markers_.echoSign.size());
    if (content.ends_with(' '))
        content.remove_suffix(1);
    return Block{close + markers_.closing.size(), content};
}

std::size_t ExactBlockSplicer::OperandSize(std::string_view content) const {
    return content.find_first_not_of(' ') == kNone
               ? 0
               : operandStart_.size() + content.size() + operandEnd_.size();
}

char* ExactBlockSplicer::WriteOperand(std::string_view content, char* out) const {
    if (OperandSize(content) == 0)
        return out;
    out = Put(out, operandStart_);
    // The content may be read from the buffer being written, a little ahead.
    return Put(scan::MoveRun(content.data(), content.size(), 0, content.size(), out), operandEnd_);
}

} // namespace quillvane
