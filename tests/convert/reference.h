#pragma once

// A plain, literal transcription of the conversion rules: every loop restarts its
// search at the first character and every step builds a new string. Slow on
// purpose; the engine must give byte for byte the same text.

#include <string>

namespace quillvane::reference {

inline std::string Replace(const std::string& text, const std::string& from, const std::string& to) {
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + from.size())
        out += text.substr(pos, hit - pos) + to;
    return out + text.substr(pos);
}

inline std::string Prepare(std::string t, const std::string& quote, bool empty, bool tabs) {
    t += "\r\n";
    if (!tabs)
        t = Replace(t, "\t", "");
    if (!empty)
        while (t.find("\r\n\r\n") != std::string::npos)
            t = Replace(t, "\r\n\r\n", "\r\n");
    return Replace(t, "\"", quote);
}

inline std::string Frame(std::string t, const std::string& joint, const std::string& opening, std::size_t cut,
                         const std::string& closing) {
    t = opening + Replace(t, "\r\n", joint);
    return t.substr(0, t.size() - cut) + closing;
}

inline std::string Splice(std::string t, const std::string& open, const std::string& close,
                          const std::string& joiner) {
    const std::string bare = open.substr(0, 2);
    t = Replace(t, bare + " ", bare);
    t = Replace(t, " " + close, close);
    for (std::size_t a, b; (a = t.find(open)) != std::string::npos &&
                           (b = t.find(close, a + open.size())) != std::string::npos;) {
        const std::string content = t.substr(a + open.size(), b - a - open.size());
        const bool blank = content.find_first_not_of(' ') == std::string::npos;
        t = t.substr(0, a) + (blank ? "" : "\"" + joiner + content + joiner + "\"") +
            t.substr(b + close.size());
    }
    return t;
}

inline std::string Wrap(const std::string& body, const std::string& open, const std::string& close) {
    return open + "\r\n\r\n" + body + "\r\n\r\n" + close;
}

inline std::string ASP(std::string text, const std::string& /*keyword*/, bool single, bool empty, bool tabs) {
    std::string t = Prepare(text, "'", empty, tabs);
    if (!single)
        t = Frame(t, "\" & vbNewLine)\r\nResponse.Write (\"", "Response.Write (\"", 17, "");
    else
        t = Frame(t, "\" & vbNewLine & _\r\n\"", "Response.Write (\"", 19, ")");
    return Wrap(Splice(t, "<%=", "%>", " & "), "<%", "%>");
}

inline std::string PHP(std::string text, const std::string& kw, bool single, bool empty, bool tabs) {
    std::string t = Prepare(text, "\\\"", empty, tabs);
    if (!single)
        t = Frame(t, " \\n\");\r\n" + kw + " (\"", kw + " (\"", kw.size() + 3, "");
    else
        t = Frame(t, "\" . \r\n\"", kw + " (\"", 6, ");");
    return Wrap(Splice(t, "<?", "?>", " . "), "<?php", "?>");
}

inline std::string CallBody(const std::string& text, const std::string& kw, bool single, bool empty,
                            bool tabs) {
    std::string t = Prepare(text, "\\\"", empty, tabs);
    if (!single)
        return Frame(t, "\");\r\n" + kw + "(\"", kw + "(\"", kw.size() + 2, "");
    return Frame(t, "\" + \r\n\"", kw + "(\"", 6, ");");
}

inline std::string JavaScript(std::string text, const std::string& kw, bool single, bool empty, bool tabs) {
    return "<script language=\"JavaScript\">\r\n<!--\r\n\r\n" + CallBody(text, kw, single, empty, tabs) +
           "\r\n\r\n//-->\r\n</script>";
}

inline std::string JSP(std::string text, const std::string& kw, bool single, bool empty, bool tabs) {
    return Wrap(CallBody(text, kw, single, empty, tabs), "<%", "%>");
}

inline std::string Perl(std::string text, const std::string& kw, bool single, bool empty, bool tabs) {
    std::string t = Prepare(text, "\\\"", empty, tabs);
    if (!single)
        return Frame(t, "\\n\";\r\n" + kw + " \"", kw + " \"", kw.size() + 2, "");
    return Frame(t, "\", \r\n\"", kw + " \"", 5, ";");
}

// Indexed like kConversionTargets; called like its converters.
inline constexpr std::string (*kByTarget[])(std::string, const std::string&, bool, bool,
                                            bool) = {ASP, PHP, PHP, JavaScript, JSP, Perl};

} // namespace quillvane::reference
