#include "querystring/generate.h"
#include "querystring/snippets.h"
#include "tests/support/text.h"

#include <gtest/gtest.h>

namespace quillvane {
namespace {

using testing::Lines;

TEST(RequestSnippetASP, WritesTheDeclarationAndTheRead) {
    const struct {
        std::string request, newName, object, defaultValue;
        bool declare, checkLength;
        std::string expected;
    } cases[] = {
        {"id", "intID", "Request", "0", true, false, Lines({"Dim intID", "intID = Request(\"id\")"})},
        {"page", "strPage", "Request.QueryString", "home", true, true,
         Lines({"Dim strPage", "If Len(Request.QueryString(\"page\")) = 0 Then", "   strPage = \"home\"",
                "Else", "   strPage = Request.QueryString(\"page\")", "End if"})},
        {"user", "u", "Request.Form", "unused", false, false, "u = Request.Form(\"user\")"},
        {"", "", "Request", "", true, false, Lines({"Dim ", " = Request(\"\")"})},
        // Inserted verbatim: quotes are not doubled, spaces not trimmed.
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
    const struct {
        std::string request, newName, superGlobal, defaultValue, test;
        std::string expected;
    } cases[] = {
        {"id", "id", "GET", "1", "isset",
         Lines({"If(!isset($_GET['id'])){ ", "   $id = \"1\";", "}", "else{", "   $id = $_GET['id'];", "}"})},
        {"email", "mail", "POST", "", "empty",
         Lines({"If(empty($_POST['email'])){ ", "   $mail = \"\";", "}", "else{",
                "   $mail = $_POST['email'];", "}"})},
        {"it's", "v", "COOKIE", "a\"b", "is_null", // any other test is written as it is
         Lines({"If(is_null($_COOKIE['it's'])){ ", "   $v = \"a\"b\";", "}", "else{",
                "   $v = $_COOKIE['it's'];", "}"})},
        {"", "", "GET", "", "isset",
         Lines({"If(!isset($_GET[''])){ ", "   $ = \"\";", "}", "else{", "   $ = $_GET[''];", "}"})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RequestSnippetPHP(c.request, c.newName, c.superGlobal, c.defaultValue, c.test), c.expected);
}

// "ASP" exactly gives the ASP snippet, every other code the PHP one; the panel's
// settings reach the generator; the box keeps its text and gains an empty line.
TEST(AppendRequestSnippet, AddsTheLanguagesSnippetAndAnEmptyLine) {
    const SnippetOptions start, changed{"Request.Form", "POST", "empty", false, true};
    const std::string aspStart = Lines({"Dim v", "v = Request(\"n\")"}, true);
    const std::string aspChanged = Lines({"If Len(Request.Form(\"n\")) = 0 Then", "   v = \"d\"", "Else",
                                          "   v = Request.Form(\"n\")", "End if"},
                                         true);
    const std::string phpStart =
        Lines({"If(!isset($_GET['n'])){ ", "   $v = \"d\";", "}", "else{", "   $v = $_GET['n'];", "}"}, true);
    const std::string phpChanged = Lines(
        {"If(empty($_POST['n'])){ ", "   $v = \"d\";", "}", "else{", "   $v = $_POST['n'];", "}"}, true);
    const struct {
        const char* code;
        const SnippetOptions& options;
        std::string box, expected;
    } cases[] = {
        {"ASP", start, "", aspStart + "\r\n"},     {"ASP", changed, "x\r\n", "x\r\n" + aspChanged + "\r\n"},
        {"PHPECHO", start, "", phpStart + "\r\n"}, {"Perl", changed, "x", "x" + phpChanged + "\r\n"},
        {"asp", start, "", phpStart + "\r\n"},     {"", start, "", phpStart + "\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AppendRequestSnippet(c.code, "n", "v", c.box, "d", c.options), c.expected) << c.code;
}

} // namespace
} // namespace quillvane
