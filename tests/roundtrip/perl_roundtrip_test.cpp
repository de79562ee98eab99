// The generated Perl, run by perl: each statement prints its line, the per-line
// form with a newline after each, the list form with nothing between them.

#include "convert/converters.h"
#include "tests/roundtrip/cases.h"
#include "tests/roundtrip/roundtrip_test.h"

namespace quillvane::roundtrip {
namespace {

TEST_F(RoundTrip, PerlPrintsTheInputLines) {
    const std::string perl = Require("perl", "perl");
    ASSERT_FALSE(perl.empty());

    // No backslash, dollar or at sign, which a double-quoted Perl string reads;
    // a lone CR or LF may stand inside a Perl string.
    std::vector<std::string> tokens = {"<", ">", "&", "%", "?", "<? x ?>", "<%= y %>", "<b>", "\r", "\n"};
    for (const std::string& utf8 : Utf8Tokens())
        tokens.push_back(utf8);
    InputGenerator inputs(4207, kPlainCharacters, tokens);
    const auto cases = MakeCases(inputs, 300, ConvertToPerl, {"print"},
                                 [](const std::vector<std::string>& lines, bool single) {
                                     std::string printed;
                                     for (const std::string& line : lines)
                                         printed += line + (single ? "" : "\n");
                                     return printed;
                                 });

    for (std::size_t i = 0; i < cases.size(); ++i)
        dir.Write("case" + std::to_string(i) + ".pl", cases[i].code);
    // Each case is compiled and run on its own, so a syntax error ends only its case;
    // warnings become errors, so that they show in the output.
    dir.Write("driver.pl", "use strict;\nuse warnings;\nbinmode STDOUT;\n"
                           "local $SIG{__WARN__} = sub { die \"warning: $_[0]\" };\n"
                           "for my $case (0 .. " +
                               std::to_string(cases.size() - 1) +
                               ") {\n"
                               "    open(my $file, '<:raw', \"case$case.pl\") or die \"case$case.pl: $!\";\n"
                               "    my $code = do { local $/; <$file> };\n"
                               "    close $file;\n"
                               "    eval \"$code\\n;1\" or print \"[$@]\";\n"
                               "    print \"\\x1e\";\n"
                               "}\n");
    const ProgramRun run = RunProgram({perl, "driver.pl"}, dir.path(), std::chrono::seconds(120));
    EXPECT_EQ(run.exitCode, 0) << "perl: " << Describe(run);
    EXPECT_EQ(ExpectPrinted(cases, SplitRecords(run.output, '\x1e')), 0);
}

} // namespace
} // namespace quillvane::roundtrip
