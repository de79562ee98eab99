#include "tests/roundtrip/asp_page.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <vector>

namespace quillvane::roundtrip {

namespace {

struct Fault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

// A line ends at CR LF, CR or LF; one that ends in " _" goes on in the next.
std::vector<std::string> LogicalLines(const std::string& code) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code[i] != '\r' && code[i] != '\n')
            lines.back() += code[i];
        else if (lines.back().ends_with(" _"))
            lines.back().pop_back(), i += code.compare(i, 2, "\r\n") == 0;
        else
            lines.emplace_back(), i += code.compare(i, 2, "\r\n") == 0;
    }
    return lines;
}

// A string keeps its opening quote, so that it cannot pass for a name; a name is
// in lower case, dots included ("request.form").
std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> tokens;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            tokens.emplace_back("\"");
            for (++i; i < line.size() && (line[i] != '"' || line.compare(i, 2, "\"\"") == 0); ++i)
                tokens.back() += line[i += line[i] == '"']; // a doubled quote stands for one
            if (i == line.size())
                throw Fault("unterminated string");
        } else if (IsWordChar(c)) {
            tokens.emplace_back();
            for (; i < line.size() && IsWordChar(line[i]); ++i)
                tokens.back() += static_cast<char>(std::tolower(static_cast<unsigned char>(line[i])));
            --i;
        } else if (c == '&' || c == '=' || c == '(' || c == ')') {
            tokens.emplace_back(1, c);
        } else if (c != ' ' && c != '\t') {
            throw Fault("unexpected character '" + std::string(1, c) + "'");
        }
    }
    return tokens;
}

class Script {
public:
    explicit Script(const AspEnvironment& environment) : environment_(environment) {}

    void Run(const std::string& code) {
        for (const std::string& line : LogicalLines(code)) {
            tokens_ = Tokens(line);
            at_ = 0;
            if (!tokens_.empty())
                Statement();
            if (at_ != tokens_.size())
                throw Fault("unexpected '" + tokens_[at_] + "'");
        }
    }

    std::string output;
    std::vector<std::pair<bool, bool>> branches; // per open If: its condition, whether in Else

private:
    std::string Next() {
        if (at_ == tokens_.size())
            throw Fault("the statement ends too early");
        return tokens_[at_++];
    }
    void Expect(const std::string& token) {
        if (Next() != token)
            throw Fault("expected '" + token + "', found '" + tokens_[at_ - 1] + "'");
    }
    std::string Name() {
        const std::string name = Next();
        if (!std::isalpha(static_cast<unsigned char>(name[0])))
            throw Fault("expected a name, found '" + name + "'");
        return name;
    }
    bool Active() const {
        return std::all_of(branches.begin(), branches.end(), [](auto b) { return b.first != b.second; });
    }

    void Statement() {
        if (tokens_[0] == "if" || tokens_[0] == "else" || tokens_[0] == "end") {
            const std::string word = Next();
            if (word == "if") {
                const std::string left = Expression();
                Expect("=");
                branches.emplace_back(left == Expression(), false);
                Expect("then");
            } else if (branches.empty() || (word == "else" && branches.back().second)) {
                throw Fault(word + " without If");
            } else if (word == "else") {
                branches.back().second = true;
            } else {
                Expect("if");
                branches.pop_back();
            }
            return;
        }
        if (tokens_[0] == "dim") {
            ++at_;
            variables_.try_emplace(Name());
        } else if (tokens_[0] == "response.write") {
            ++at_;
            const std::string value = Expression();
            output += Active() ? value : "";
        } else {
            const std::string name = Name();
            Expect("=");
            const std::string value = Expression();
            if (Active())
                variables_[name] = value;
        }
    }

    std::string Expression() {
        std::string value = Operand();
        while (at_ < tokens_.size() && tokens_[at_] == "&")
            ++at_, value += Operand();
        return value;
    }

    std::string Operand() {
        const std::string token = Next();
        if (token[0] == '"')
            return token.substr(1);
        if (std::isdigit(static_cast<unsigned char>(token[0])))
            return token;
        if (token == "(") {
            const std::string inner = Expression();
            Expect(")");
            return inner;
        }
        --at_;
        const std::string name = Name();
        if (at_ == tokens_.size() || tokens_[at_] != "(")
            return Variable(name);
        ++at_;
        const std::string argument = Expression();
        Expect(")");
        return Call(name, argument);
    }

    std::string Variable(const std::string& name) const {
        const std::map<std::string, std::string> constants = {
            {"vbnewline", "\r\n"}, {"vbcr", "\r"}, {"vblf", "\n"}};
        if (constants.count(name) != 0)
            return constants.at(name);
        if (variables_.count(name) == 0 && environment_.variables.count(name) == 0)
            throw Fault("variable is undefined: '" + name + "'");
        return variables_.count(name) != 0 ? variables_.at(name) : environment_.variables.at(name);
    }

    // Request("x") looks through the query string, the form and the cookies, in this
    // order; a request variable that is not there reads as empty.
    std::string Call(const std::string& name, const std::string& argument) const {
        if (name == "len") // in characters: count the UTF-8 bytes that start one
            return std::to_string(
                std::count_if(argument.begin(), argument.end(), [](char c) { return (c & 0xC0) != 0x80; }));
        if (name != "request" && name != "request.querystring" && name != "request.form")
            throw Fault("unknown function '" + name + "'");
        for (const char* collection : {"querystring", "form", "cookies"}) {
            const auto values = environment_.request.find(collection);
            if ((name == "request" || name == std::string("request.") + collection) &&
                values != environment_.request.end() && values->second.count(argument) != 0)
                return values->second.at(argument);
        }
        return "";
    }

    const AspEnvironment& environment_;
    std::map<std::string, std::string> variables_;
    std::vector<std::string> tokens_;
    std::size_t at_ = 0;
};

} // namespace

std::string RunAspPage(const std::string& page, const AspEnvironment& environment) {
    Script script(environment);
    try {
        std::size_t at = 0;
        // The server ends a script block at the first "%>", whatever the script means.
        for (std::size_t open; (open = page.find("<%", at)) != std::string::npos; at += 2) {
            script.output += page.substr(at, open - at);
            if ((at = page.find("%>", open + 2)) == std::string::npos)
                throw Fault("a script block without %>");
            script.Run(page.substr(open + 2, at - open - 2));
        }
        script.output += page.substr(at);
        if (!script.branches.empty())
            throw Fault("If without End If");
    } catch (const Fault& fault) {
        return script.output + "[error: " + fault.what() + "]";
    }
    return script.output;
}

} // namespace quillvane::roundtrip
