#include "tests/roundtrip/asp_page.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <vector>

namespace quillvane::roundtrip {

namespace {

struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

struct Value {
    bool isNumber = false;
    long long number = 0;
    std::string text;

    std::string Text() const { return isNumber ? std::to_string(number) : text; }
};

enum class TokenKind { String, Number, Name, Symbol, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text; // a name in lower case, a string's value, a symbol
};

std::vector<Token> Tokenize(const std::string& line) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == '\'') {
            break; // a comment to the end of the line
        } else if (c == '"') {
            std::string value;
            for (++i;; ++i) {
                if (i >= line.size())
                    throw ScriptError("unterminated string literal");
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        value += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += line[i];
            }
            tokens.push_back({TokenKind::String, value});
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            const std::size_t start = i;
            while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
                ++i;
            tokens.push_back({TokenKind::Number, line.substr(start, i - start)});
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            const std::size_t start = i;
            while (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_'))
                ++i;
            tokens.push_back({TokenKind::Name, Lower(line.substr(start, i - start))});
        } else if (std::string_view("&=(),.").find(c) != std::string_view::npos) {
            tokens.push_back({TokenKind::Symbol, std::string(1, c)});
            ++i;
        } else {
            throw ScriptError("unexpected character '" + std::string(1, c) + "'");
        }
    }
    tokens.push_back({TokenKind::End, ""});
    return tokens;
}

// A physical line ends at CR LF, CR or LF; one that ends with a space and "_"
// continues on the next.
std::vector<std::string> LogicalLines(const std::string& code) {
    std::vector<std::string> physical;
    std::string line;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code[i] == '\r' || code[i] == '\n') {
            if (code[i] == '\r' && i + 1 < code.size() && code[i + 1] == '\n')
                ++i;
            physical.push_back(line);
            line.clear();
        } else {
            line += code[i];
        }
    }
    physical.push_back(line);

    std::vector<std::string> logical;
    std::string pending;
    for (std::string& part : physical) {
        const std::size_t last = part.find_last_not_of(" \t");
        const bool continues = last != std::string::npos && part[last] == '_' &&
                               (last == 0 || part[last - 1] == ' ' || part[last - 1] == '\t');
        if (continues) {
            pending += part.substr(0, last) + " ";
            continue;
        }
        logical.push_back(pending + part);
        pending.clear();
    }
    if (!pending.empty())
        throw ScriptError("line continuation at the end of the script");
    return logical;
}

class Interpreter {
public:
    Interpreter(const std::map<std::string, std::string>& variables, const AspRequest& request)
        : request_(request) {
        for (const auto& [name, value] : variables)
            variables_[Lower(name)] = Value{false, 0, value};
    }

    void RunBlock(const std::string& code) {
        for (const std::string& line : LogicalLines(code))
            RunStatement(Tokenize(line));
    }

    void Finish() const {
        if (!branches_.empty())
            throw ScriptError("If without End If");
    }

    std::string output;

private:
    struct Branch {
        bool outerActive;
        bool condition;
        bool inElse = false;
        bool Active() const { return outerActive && (inElse ? !condition : condition); }
    };

    bool Active() const { return branches_.empty() || branches_.back().Active(); }

    const Token& Peek() const { return tokens_[at_]; }
    bool Accept(TokenKind kind, const std::string& text) {
        if (Peek().kind != kind || Peek().text != text)
            return false;
        ++at_;
        return true;
    }
    void Expect(TokenKind kind, const std::string& text) {
        if (!Accept(kind, text))
            throw ScriptError("expected '" + text + "', found '" + Peek().text + "'");
    }
    std::string ExpectName() {
        if (Peek().kind != TokenKind::Name)
            throw ScriptError("expected a name, found '" + Peek().text + "'");
        return tokens_[at_++].text;
    }
    void ExpectEnd() const {
        if (Peek().kind != TokenKind::End)
            throw ScriptError("expected the end of the statement, found '" + Peek().text + "'");
    }

    void RunStatement(std::vector<Token> tokens) {
        tokens_ = std::move(tokens);
        at_ = 0;
        if (Peek().kind == TokenKind::End)
            return;
        const bool active = Active();
        if (Accept(TokenKind::Name, "if")) {
            const Value condition = Comparison(active);
            Expect(TokenKind::Name, "then");
            ExpectEnd();
            branches_.push_back({active, active && condition.isNumber && condition.number != 0});
            return;
        }
        if (Accept(TokenKind::Name, "else")) {
            ExpectEnd();
            if (branches_.empty() || branches_.back().inElse)
                throw ScriptError("Else without If");
            branches_.back().inElse = true;
            return;
        }
        if (Accept(TokenKind::Name, "end")) {
            Expect(TokenKind::Name, "if");
            ExpectEnd();
            if (branches_.empty())
                throw ScriptError("End If without If");
            branches_.pop_back();
            return;
        }
        if (Accept(TokenKind::Name, "dim")) {
            const std::string name = ExpectName();
            ExpectEnd();
            if (active)
                variables_.try_emplace(name);
            return;
        }
        const std::string name = ExpectName();
        if (name == "response") {
            Expect(TokenKind::Symbol, ".");
            Expect(TokenKind::Name, "write");
            const Value value = Concatenation(active);
            ExpectEnd();
            if (active)
                output += value.Text();
            return;
        }
        Expect(TokenKind::Symbol, "=");
        const Value value = Concatenation(active);
        ExpectEnd();
        if (active)
            variables_[name] = value;
    }

    // Only an If condition compares; elsewhere "=" is an assignment.
    Value Comparison(bool active) {
        const Value left = Concatenation(active);
        if (!Accept(TokenKind::Symbol, "="))
            return left;
        const Value right = Concatenation(active);
        const bool equal =
            left.isNumber && right.isNumber ? left.number == right.number : left.Text() == right.Text();
        return Value{true, equal ? -1 : 0, ""}; // VBScript's True is -1
    }

    Value Concatenation(bool active) {
        Value value = Operand(active);
        while (Accept(TokenKind::Symbol, "&"))
            value = Value{false, 0, value.Text() + Operand(active).Text()};
        return value;
    }

    Value Operand(bool active) {
        const Token token = Peek();
        if (token.kind == TokenKind::String || token.kind == TokenKind::Number) {
            ++at_;
            if (token.kind == TokenKind::String)
                return Value{false, 0, token.text};
            return Value{true, std::stoll(token.text), ""};
        }
        if (Accept(TokenKind::Symbol, "(")) {
            const Value inner = Comparison(active);
            Expect(TokenKind::Symbol, ")");
            return inner;
        }
        std::string name = ExpectName();
        while (Accept(TokenKind::Symbol, "."))
            name += "." + ExpectName();
        std::vector<Value> arguments;
        const bool call = Accept(TokenKind::Symbol, "(");
        if (call) {
            if (!Accept(TokenKind::Symbol, ")")) {
                do
                    arguments.push_back(Comparison(active));
                while (Accept(TokenKind::Symbol, ","));
                Expect(TokenKind::Symbol, ")");
            }
        }
        if (!active)
            return {};
        return Evaluate(name, call, arguments);
    }

    Value Evaluate(const std::string& name, bool call, const std::vector<Value>& arguments) {
        if (!call) {
            if (name == "vbnewline" || name == "vbcrlf")
                return Value{false, 0, "\r\n"};
            const auto found = variables_.find(name);
            if (found == variables_.end())
                throw ScriptError("variable is undefined: '" + name + "'");
            return found->second;
        }
        if (arguments.size() != 1)
            throw ScriptError("wrong number of arguments for '" + name + "'");
        const std::string argument = arguments[0].Text();
        if (name == "len") {
            long long characters = 0;
            for (const char c : argument) // UTF-8: count the bytes that start a character
                characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
            return Value{true, characters, ""};
        }
        // Request("x") looks through the collections in this order; a missing variable reads as empty.
        const auto lookUp = [&](const std::map<std::string, std::string>& collection) -> const std::string* {
            const auto found = collection.find(argument);
            return found == collection.end() ? nullptr : &found->second;
        };
        const std::string* found = nullptr;
        if (name == "request")
            for (const auto* collection : {&request_.queryString, &request_.form, &request_.cookies})
                if (found == nullptr)
                    found = lookUp(*collection);
        if (name == "request.querystring")
            found = lookUp(request_.queryString);
        else if (name == "request.form")
            found = lookUp(request_.form);
        else if (name == "request.cookies")
            found = lookUp(request_.cookies);
        else if (name != "request")
            throw ScriptError("unknown function '" + name + "'");
        return Value{false, 0, found != nullptr ? *found : ""};
    }

    std::map<std::string, Value> variables_;
    const AspRequest& request_;
    std::vector<Branch> branches_;
    std::vector<Token> tokens_;
    std::size_t at_ = 0;
};

} // namespace

AspRun RunAspPage(const std::string& page, const std::map<std::string, std::string>& variables,
                  const AspRequest& request) {
    Interpreter interpreter(variables, request);
    AspRun run;
    try {
        std::size_t at = 0;
        // The server ends a script block at the first "%>", whatever the script around it means.
        for (std::size_t open; (open = page.find("<%", at)) != std::string::npos;) {
            interpreter.output += page.substr(at, open - at);
            const std::size_t close = page.find("%>", open + 2);
            if (close == std::string::npos)
                throw ScriptError("script block without %>");
            interpreter.RunBlock(page.substr(open + 2, close - open - 2));
            at = close + 2;
        }
        interpreter.output += page.substr(at);
        interpreter.Finish();
        run.ok = true;
    } catch (const ScriptError& error) {
        run.error = error.what();
    }
    run.output = interpreter.output;
    return run;
}

} // namespace quillvane::roundtrip
