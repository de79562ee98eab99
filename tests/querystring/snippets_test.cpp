#include "querystring/generate.h"
#include "querystring/snippets.h"
#include "tests/support/text.h"

#include <gtest/gtest.h>

namespace quillvane {
namespace {

using testing::Lines;

// The declaration and the length check each on and off; inputs go in verbatim.
TEST(RequestSnippets, WriteTheirCode) {
    EXPECT_EQ(RequestSnippetASP("id", "intID", "Request", "0", true, false),
              Lines({"Dim intID", "intID = Request(\"id\")"}));
    EXPECT_EQ(RequestSnippetASP("user", "u", "Request.Form", "unused", false, false),
              "u = Request.Form(\"user\")");
    EXPECT_EQ(RequestSnippetASP("a b", "v", "Request", "say \"hi\" ", false, true),
              Lines({"If Len(Request(\"a b\")) = 0 Then", "   v = \"say \"hi\" \"", "Else",
                     "   v = Request(\"a b\")", "End if"}));
    // The first branch assigns the default, so it must run when the variable is missing.
    EXPECT_EQ(
        RequestSnippetPHP("id", "v", "GET", "1", "isset"),
        Lines({"If(!isset($_GET['id'])){ ", "   $v = \"1\";", "}", "else{", "   $v = $_GET['id'];", "}"}));
    EXPECT_EQ(RequestSnippetPHP("it's", "w", "COOKIE", "a\"b", "empty"),
              Lines({"If(empty($_COOKIE['it's'])){ ", "   $w = \"a\"b\";", "}", "else{",
                     "   $w = $_COOKIE['it's'];", "}"}));
}

// "ASP" exactly gives the ASP snippet, every other code the PHP one, with the
// panel's settings; the box keeps its text and gains an empty line.
TEST(AppendRequestSnippet, AddsTheLanguagesSnippetAndAnEmptyLine) {
    const SnippetOptions start, changed{"Request.Form", "POST", "empty", false, true};
    EXPECT_EQ(AppendRequestSnippet("ASP", "n", "v", "x\r\n", "d", changed),
              "x\r\n" + RequestSnippetASP("n", "v", "Request.Form", "d", false, true) + "\r\n\r\n");
    EXPECT_EQ(AppendRequestSnippet("Perl", "n", "v", "x", "d", changed),
              "x" + RequestSnippetPHP("n", "v", "POST", "d", "empty") + "\r\n\r\n");
    EXPECT_EQ(AppendRequestSnippet("asp", "n", "v", "", "d", start),
              RequestSnippetPHP("n", "v", "GET", "d", "isset") + "\r\n\r\n");
}

} // namespace
} // namespace quillvane
