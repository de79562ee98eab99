#include "convert/target_records.h"

namespace quillvane {

namespace {

// The one place the keyword goes into the texts.
std::string WithKeyword(std::string_view text, std::string_view keyword) {
    std::string out;
    for (std::size_t at = text.find(kKeyword); at != std::string_view::npos; at = text.find(kKeyword)) {
        out.append(text.substr(0, at)).append(keyword);
        text.remove_prefix(at + kKeyword.size());
    }
    return out.append(text);
}

} // namespace

Statement StatementFor(const TargetRecord& target, std::string_view keyword, bool singleStatement) {
    const StatementTexts& texts = singleStatement ? target.single : target.perLine;
    Statement statement{WithKeyword(texts.opening, keyword), WithKeyword(texts.joint, keyword), texts.closing,
                        0};
    // Cut on the texts before the keyword is in: a keyword may hold a line break or a quote.
    const std::string_view afterLineBreak =
        texts.joint.substr(texts.joint.find(kLineBreak) + kLineBreak.size());
    statement.cut =
        singleStatement ? statement.joint.size() - 1 : WithKeyword(afterLineBreak, keyword).size();
    return statement;
}

} // namespace quillvane
