#include "convert/converters.h"

#include "convert/steps.h"
#include "convert/target_records.h"

namespace quillvane {

// Every converter: its record's texts over the same passes.
std::string ConvertForTarget(Target target, std::string text, std::string_view keyword, bool singleStatement,
                             bool preserveEmptyLines, bool preserveTabs, bool exact) {
    const TargetRecord& record = RecordOf(target);
    const Statement statement = StatementFor(record, keyword, singleStatement);
    Code code = WriteCode(std::move(text), LineRules{preserveEmptyLines, preserveTabs}, record, statement,
                          exact ? Escaping::Exact : Escaping::Default);
    std::string result = record.blocks == nullptr || exact
                             ? std::move(code.text)
                             : SpliceEmbeddedBlocks(std::move(code), *record.blocks);
    // The code is written where the text was: when it came out much shorter, such as
    // a text of empty lines, the caller should not hold on to the room.
    if (result.capacity() > 2 * result.size() + 4096)
        result.shrink_to_fit();
    return result;
}

namespace {

std::string Convert(Target target, std::string text, std::string_view keyword, bool singleStatement,
                    bool preserveEmptyLines, bool preserveTabs) {
    return ConvertForTarget(target, std::move(text), keyword, singleStatement, preserveEmptyLines,
                            preserveTabs, false);
}

} // namespace

std::string ConvertToASP(std::string text, bool singleStatement, bool preserveEmptyLines, bool preserveTabs) {
    return Convert(Target::ASP, std::move(text), "", singleStatement, preserveEmptyLines, preserveTabs);
}

std::string ConvertToPHP(std::string text, const std::string& keyword, bool singleStatement,
                         bool preserveEmptyLines, bool preserveTabs) {
    return Convert(Target::PHP, std::move(text), keyword, singleStatement, preserveEmptyLines, preserveTabs);
}

std::string ConvertToJavaScript(std::string text, const std::string& keyword, bool singleStatement,
                                bool preserveEmptyLines, bool preserveTabs) {
    return Convert(Target::JavaScript, std::move(text), keyword, singleStatement, preserveEmptyLines,
                   preserveTabs);
}

std::string ConvertToJSP(std::string text, const std::string& keyword, bool singleStatement,
                         bool preserveEmptyLines, bool preserveTabs) {
    return Convert(Target::JSP, std::move(text), keyword, singleStatement, preserveEmptyLines, preserveTabs);
}

std::string ConvertToPerl(std::string text, const std::string& keyword, bool singleStatement,
                          bool preserveEmptyLines, bool preserveTabs) {
    return Convert(Target::Perl, std::move(text), keyword, singleStatement, preserveEmptyLines, preserveTabs);
}

} // namespace quillvane
