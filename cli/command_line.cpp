#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace quillvane {

namespace {

constexpr std::string_view kProgram = "quillvane-convert";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A word the user types and what it stands for in the engine or the generators.
struct Choice {
    std::string_view word;
    std::string_view value;
};

constexpr Choice kTargets[] = {
    {"asp", "ASP"}, {"php-echo", "PHPECHO"}, {"php-print", "PHPPRINT"}, {"javascript", "JavaScript"},
    {"jsp", "JSP"}, {"perl", "Perl"}};
constexpr Choice kQueryLanguages[] = {{"asp", "ASP"}, {"php", "PHPECHO"}};
constexpr Choice kAspCollections[] = {
    {"request", "Request"}, {"form", "Request.Form"}, {"querystring", "Request.QueryString"}};
constexpr Choice kPhpSuperGlobals[] = {{"get", "GET"}, {"post", "POST"}, {"cookie", "COOKIE"}};
constexpr Choice kPhpTests[] = {{"isset", "isset"}, {"empty", "empty"}};
constexpr Choice kLineEndings[] = {{"auto", ""}, {"crlf", "crlf"}, {"lf", "lf"}};

std::string ListWords(std::span<const Choice> choices) {
    std::string list;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i > 0)
            list += i + 1 == choices.size() ? " or " : ", ";
        list += choices[i].word;
    }
    return list;
}

std::string Choose(std::span<const Choice> choices, const std::string& word, const std::string& what) {
    for (const Choice& choice : choices)
        if (choice.word == word)
            return std::string(choice.value);
    throw UsageError("unknown " + what + " '" + word + "': choose " + ListWords(choices));
}

// Options that make sense only in one mode, or for one language of --query.
enum class Scope { Convert, Query, Asp, Php };

struct ScopedOption {
    const CLI::Option* option;
    Scope scope;
};

// Arguments that the command line holds in another form than the user types them.
struct RawArguments {
    std::string to, query, lineEnding = "auto", from, test = "isset";
    bool dropEmptyLines = false, dropTabs = false;
    bool dim = false, noDim = false, checkLength = false, noCheckLength = false;
    std::vector<ScopedOption> scoped;
};

constexpr const char* kExamples = R"(
Examples:
  quillvane-convert --to asp page.html              one Response.Write per line
  quillvane-convert --to php-echo -o page.php page.html
  quillvane-convert --to php-print --single-statement < part.html
  quillvane-convert --to javascript --drop-empty-lines page.html
  quillvane-convert --to jsp --drop-tabs page.html
  quillvane-convert --to perl --eol lf page.html
  quillvane-convert --to javascript --exact < snippet.txt   \, $, </script> ... printed as they stand
  quillvane-convert --query asp --name id --variable intID --check-length --default 0
  quillvane-convert --query php --name id --variable id --from post --default 1

Exit status: 0 done, 1 a file could not be read or written, 2 a usage error.)";

void DefineConvertOptions(CLI::App& app, CommandLine& line, RawArguments& raw) {
    const auto scoped = [&](CLI::Option* option) {
        raw.scoped.push_back({option->group("Converting"), Scope::Convert});
    };
    app.add_option("--to", raw.to, "Convert to: " + ListWords(kTargets))
        ->type_name("TARGET")
        ->group("Converting");
    scoped(app.add_flag("--single-statement", line.convert.flags.singleStatement,
                        "One statement for all lines (default: one per line)"));
    scoped(
        app.add_flag("--drop-empty-lines", raw.dropEmptyLines, "Leave out empty lines (default: keep them)"));
    scoped(app.add_flag("--drop-tabs", raw.dropTabs, "Delete tabs (default: keep them)"));
    scoped(app.add_flag("--exact", line.convert.flags.exact,
                        "Escape whatever the target language would read in the text, so that the code prints "
                        "it exactly (default: only double quotes, as the window does)"));
    scoped(app.add_flag("--force", line.convert.force, "Convert even a file that holds NUL bytes"));
    scoped(app.add_option("FILE", line.convert.input, "The text to convert; standard input when absent or -")
               ->type_name(""));
}

void DefineQueryOptions(CLI::App& app, CommandLine& line, RawArguments& raw) {
    const auto scoped = [&](CLI::Option* option, Scope scope) {
        raw.scoped.push_back({option->group("Request-variable snippet"), scope});
        return option;
    };
    QueryRequest& query = line.query;
    scoped(app.add_option("--query", raw.query, "Write a snippet for asp or php"), Scope::Query)
        ->type_name("LANGUAGE");
    scoped(app.add_option("--name", query.requestName, "The request variable"), Scope::Query)
        ->type_name("NAME");
    scoped(app.add_option("--variable", query.newName, "The script variable to fill"), Scope::Query)
        ->type_name("NEWNAME");
    scoped(app.add_option("--from", raw.from,
                          "ASP: " + ListWords(kAspCollections) + "; PHP: " + ListWords(kPhpSuperGlobals)),
           Scope::Query)
        ->type_name("SOURCE");
    scoped(app.add_option("--default", query.defaultValue, "The value when the variable is missing"),
           Scope::Query)
        ->type_name("VALUE");
    scoped(app.add_flag("--dim", raw.dim, "ASP: declare the variable (default)"), Scope::Asp);
    scoped(app.add_flag("--no-dim", raw.noDim, "ASP: no declaration"), Scope::Asp);
    scoped(app.add_flag("--check-length", raw.checkLength, "ASP: use the default when the value is empty"),
           Scope::Asp);
    scoped(app.add_flag("--no-check-length", raw.noCheckLength, "ASP: plain assignment (default)"),
           Scope::Asp);
    scoped(app.add_option("--test", raw.test, "PHP: isset (default) or empty"), Scope::Php)
        ->type_name("TEST");
}

void DefineCommonOptions(CLI::App& app, CommandLine& line, RawArguments& raw) {
    app.add_option("--eol", raw.lineEnding,
                   "Line endings: auto (the input's first one; LF when it has none), crlf or lf")
        ->type_name("auto|crlf|lf");
    app.add_option("-o,--output", line.output, "Write to this file, replacing it in one step (default: -)")
        ->type_name("OUT");
    app.set_version_flag("--version", std::string(kProgram) + " " + QUILLVANE_VERSION);
    app.footer(kExamples);
}

bool InScope(Scope scope, Mode mode, bool asp) {
    switch (scope) {
    case Scope::Convert:
        return mode == Mode::Convert;
    case Scope::Query:
        return mode == Mode::Query;
    case Scope::Asp:
        return mode == Mode::Query && asp;
    case Scope::Php:
        return mode == Mode::Query && !asp;
    }
    return false;
}

std::string ScopeName(Scope scope) {
    switch (scope) {
    case Scope::Convert:
        return "--to";
    case Scope::Query:
        return "--query";
    case Scope::Asp:
        return "--query asp";
    case Scope::Php:
        return "--query php";
    }
    return {};
}

void CheckScopes(const RawArguments& raw, Mode mode, bool asp) {
    const std::string current = mode == Mode::Convert ? "--to" : asp ? "--query asp" : "--query php";
    for (const ScopedOption& scoped : raw.scoped) {
        if (scoped.option->count() == 0 || InScope(scoped.scope, mode, asp))
            continue;
        throw UsageError(scoped.option->get_name() + " goes with " + ScopeName(scoped.scope) + ", not with " +
                         current);
    }
}

Mode ChooseMode(const CLI::App& app) {
    const bool to = app.count("--to") > 0;
    const bool query = app.count("--query") > 0;
    if (to && query)
        throw UsageError("--to and --query do not go together: give one of them");
    if (!to && !query)
        throw UsageError("nothing to do: give --to TARGET to convert text, or --query asp|php for a snippet");
    return to ? Mode::Convert : Mode::Query;
}

void RefuseBoth(bool first, bool second, const std::string& names) {
    if (first && second)
        throw UsageError(names + " contradict each other: give one of them");
}

void FinishConvert(const RawArguments& raw, ConvertRequest& convert) {
    convert.languageCode = Choose(kTargets, raw.to, "target");
    CheckScopes(raw, Mode::Convert, false);
    convert.flags.preserveEmptyLines = !raw.dropEmptyLines;
    convert.flags.preserveTabs = !raw.dropTabs;
}

void FinishQuery(const CLI::App& app, const RawArguments& raw, QueryRequest& query) {
    query.languageCode = Choose(kQueryLanguages, raw.query, "language for --query");
    const bool asp = IsAspLanguage(query.languageCode);
    CheckScopes(raw, Mode::Query, asp);
    if (app.count("--name") == 0)
        throw UsageError("--query needs --name NAME, the request variable to read");
    RefuseBoth(raw.dim, raw.noDim, "--dim and --no-dim");
    RefuseBoth(raw.checkLength, raw.noCheckLength, "--check-length and --no-check-length");
    SnippetOptions& options = query.options;
    options.declare = !raw.noDim;
    options.checkLength = raw.checkLength;
    options.emptyTest = Choose(kPhpTests, raw.test, "test for --test");
    if (app.count("--from") == 0)
        return; // the panel's start values, already in place
    if (asp)
        options.requestObject = Choose(kAspCollections, raw.from, "ASP source for --from");
    else
        options.superGlobal = Choose(kPhpSuperGlobals, raw.from, "PHP source for --from");
}

void Finish(const CLI::App& app, const RawArguments& raw, CommandLine& line) {
    line.mode = ChooseMode(app);
    if (line.mode == Mode::Convert)
        FinishConvert(raw, line.convert);
    else
        FinishQuery(app, raw, line.query);
    const std::string ending = Choose(kLineEndings, raw.lineEnding, "line ending for --eol");
    if (ending == "crlf")
        line.lineEnding = LineEnding::CrLf;
    else if (ending == "lf")
        line.lineEnding = LineEnding::Lf;
}

int ReportUsage(std::string problem) {
    // One line, whatever the parser's message held.
    for (char& c : problem)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::cerr << kProgram << ": " << problem << "; see '" << kProgram << " --help'" << std::endl;
    return 2;
}

} // namespace

std::optional<int> ParseCommandLine(int argc, const char* const* argv, CommandLine& commandLine) {
    CLI::App app("Turns HTML or text into code that prints it, for ASP, PHP, JavaScript, JSP or Perl;\n"
                 "or writes the code that reads one request variable (ASP or PHP).",
                 std::string(kProgram));
    RawArguments raw;
    DefineConvertOptions(app, commandLine, raw);
    DefineQueryOptions(app, commandLine, raw);
    DefineCommonOptions(app, commandLine, raw);
    try {
        app.parse(argc, argv);
        Finish(app, raw, commandLine);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            return app.exit(error); // --help or --version, printed on standard output
        return ReportUsage(error.what());
    } catch (const UsageError& error) {
        return ReportUsage(error.what());
    }
    return std::nullopt;
}

} // namespace quillvane
