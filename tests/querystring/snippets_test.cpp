#include "querystring/generate.h"
#include "querystring/snippets.h"
#include "tests/convert/lines.h"

#include <gtest/gtest.h>

namespace quillvane {
namespace {

using testing::Lines;

struct AspCase {
    const char* name;
    std::string request, newName, object, defaultValue;
    bool declare, checkLength;
    std::string expected;
};

TEST(RequestSnippetASP, WritesTheDeclarationAndTheRead) {
    const AspCase cases[] = {
        {"declare_plain", "id", "intID", "Request", "0", true, false,
         Lines({"Dim intID", "intID = Request(\"id\")"})},
        {"declare_checked", "page", "strPage", "Request.QueryString", "home", true, true,
         Lines({"Dim strPage", "If Len(Request.QueryString(\"page\")) = 0 Then", "   strPage = \"home\"",
                "Else", "   strPage = Request.QueryString(\"page\")", "End if"})},
        {"checked_empty_default", "name", "sName", "Request.Form", "", false, true,
         Lines({"If Len(Request.Form(\"name\")) = 0 Then", "   sName = \"\"", "Else",
                "   sName = Request.Form(\"name\")", "End if"})},
        {"single_line", "user", "u", "Request.Form", "ignored", false, false, "u = Request.Form(\"user\")"},
        {"all_empty", "", "", "Request", "", true, false, Lines({"Dim ", " = Request(\"\")"})},
        {"quote_in_default_verbatim", "q", "v", "Request", "say \"hi\"", false, true,
         Lines({"If Len(Request(\"q\")) = 0 Then", "   v = \"say \"hi\"\"", "Else", "   v = Request(\"q\")",
                "End if"})},
    };
    for (const AspCase& c : cases)
        EXPECT_EQ(RequestSnippetASP(c.request, c.newName, c.object, c.defaultValue, c.declare, c.checkLength),
                  c.expected)
            << c.name;
}

struct PhpCase {
    const char* name;
    std::string request, newName, superGlobal, defaultValue, test;
    std::string expected;
};

TEST(RequestSnippetPHP, AssignsTheDefaultWhenTheVariableIsMissing) {
    const PhpCase cases[] = {
        {"isset_get", "id", "id", "GET", "1", "isset",
         Lines({"If(!isset($_GET['id'])){ ", "   $id = \"1\";", "}", "else{", "   $id = $_GET['id'];", "}"})},
        {"empty_post", "email", "mail", "POST", "", "empty",
         Lines({"If(empty($_POST['email'])){ ", "   $mail = \"\";", "}", "else{",
                "   $mail = $_POST['email'];", "}"})},
        {"isset_cookie", "lang", "language", "COOKIE", "en", "isset",
         Lines({"If(!isset($_COOKIE['lang'])){ ", "   $language = \"en\";", "}", "else{",
                "   $language = $_COOKIE['lang'];", "}"})},
        {"all_empty", "", "", "GET", "", "isset",
         Lines({"If(!isset($_GET[''])){ ", "   $ = \"\";", "}", "else{", "   $ = $_GET[''];", "}"})},
        {"quotes_verbatim", "it's", "v", "GET", "a\"b", "empty",
         Lines({"If(empty($_GET['it's'])){ ", "   $v = \"a\"b\";", "}", "else{", "   $v = $_GET['it's'];",
                "}"})},
    };
    for (const PhpCase& c : cases)
        EXPECT_EQ(RequestSnippetPHP(c.request, c.newName, c.superGlobal, c.defaultValue, c.test), c.expected)
            << c.name;
}

TEST(AppendRequestSnippet, AppendsSnippetAndOneEmptyLine) {
    SnippetOptions options; // the panel's start settings
    std::string box = AppendRequestSnippet("ASP", "id", "intID", "", "0", options);
    EXPECT_EQ(box, Lines({"Dim intID", "intID = Request(\"id\")"}, true) + "\r\n");

    options.checkLength = true;
    options.requestObject = "Request.QueryString";
    box = AppendRequestSnippet("ASP", "page", "strPage", box, "home", options);
    EXPECT_EQ(box, Lines({"Dim intID", "intID = Request(\"id\")", "", "Dim strPage",
                          "If Len(Request.QueryString(\"page\")) = 0 Then", "   strPage = \"home\"", "Else",
                          "   strPage = Request.QueryString(\"page\")", "End if", ""},
                         true));
}

TEST(AppendRequestSnippet, EveryCodeButExactlyAspGivesPhp) {
    const SnippetOptions options;
    const std::string php = RequestSnippetPHP("a", "b", "GET", "c", "isset") + "\r\n\r\n";
    for (const char* code : {"PHPECHO", "PHPPRINT", "JavaScript", "JSP", "Perl", "asp", ""})
        EXPECT_EQ(AppendRequestSnippet(code, "a", "b", "", "c", options), php) << code;
    EXPECT_TRUE(IsAspLanguage("ASP"));
    EXPECT_FALSE(IsAspLanguage("asp"));
}

} // namespace
} // namespace quillvane
