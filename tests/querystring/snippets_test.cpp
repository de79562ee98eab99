#include "querystring/generate.h"
#include "querystring/snippets.h"
#include "tests/support/text.h"

#include <gtest/gtest.h>

namespace quillvane {
namespace {

using testing::Lines;

// The declaration and the length check each on and off; inputs go in verbatim (quotes not doubled,
// spaces not trimmed).
TEST(RequestSnippetASP, WritesTheDeclarationAndTheRead) {
    const struct {
        const char *request, *newName, *object, *defaultValue;
        bool declare, checkLength;
        std::string expected;
    } cases[] = {
        {"id", "intID", "Request", "0", true, false, Lines({"Dim intID", "intID = Request(\"id\")"})},
        {"user", "u", "Request.Form", "unused", false, false, "u = Request.Form(\"user\")"},
        {"a b", "v", "Request", "say \"hi\" ", false, true,
         Lines({"If Len(Request(\"a b\")) = 0 Then", "   v = \"say \"hi\" \"", "Else",
                "   v = Request(\"a b\")", "End if"})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RequestSnippetASP(c.request, c.newName, c.object, c.defaultValue, c.declare, c.checkLength),
                  c.expected);
}

// The first branch assigns the default, so it must run when the variable is missing.
TEST(RequestSnippetPHP, AssignsTheDefaultWhenTheVariableIsMissing) {
    const auto snippet = [](const std::string& condition, const std::string& value,
                            const std::string& element) {
        return Lines({"If(" + condition + "(" + element + ")){ ", "   $v = \"" + value + "\";", "}", "else{",
                      "   $v = " + element + ";", "}"});
    };
    const struct {
        const char *request, *superGlobal, *defaultValue, *test;
        std::string expected;
    } cases[] = {
        {"id", "GET", "1", "isset", snippet("!isset", "1", "$_GET['id']")},
        {"email", "POST", "", "empty", snippet("empty", "", "$_POST['email']")},
        {"it's", "COOKIE", "a\"b", "is_null", snippet("is_null", "a\"b", "$_COOKIE['it's']")}, // verbatim
    };
    for (const auto& c : cases)
        EXPECT_EQ(RequestSnippetPHP(c.request, "v", c.superGlobal, c.defaultValue, c.test), c.expected);
}

// "ASP" exactly gives the ASP snippet, every other code the PHP one; the panel's
// settings reach the generator; the box keeps its text and gains an empty line.
TEST(AppendRequestSnippet, AddsTheLanguagesSnippetAndAnEmptyLine) {
    const SnippetOptions start, changed{"Request.Form", "POST", "empty", false, true};
    const struct {
        const char* code;
        const SnippetOptions& options;
        std::string box, snippet;
    } cases[] = {
        {"ASP", changed, "x\r\n", RequestSnippetASP("n", "v", "Request.Form", "d", false, true)},
        {"Perl", changed, "x", RequestSnippetPHP("n", "v", "POST", "d", "empty")},
        {"asp", start, "", RequestSnippetPHP("n", "v", "GET", "d", "isset")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AppendRequestSnippet(c.code, "n", "v", c.box, "d", c.options),
                  c.box + c.snippet + "\r\n\r\n")
            << c.code;
}

} // namespace
} // namespace quillvane
