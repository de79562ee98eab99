// The engine against the literal transcription, on texts built from the characters
// and markers the rules react to, and on long regular shapes (deep nesting, blocks
// that keep forming new markers as blank ones go) that random text rarely reaches.

#include "convert/targets.h"
#include "tests/convert/reference.h"
#include "tests/support/text.h"

#include <gtest/gtest.h>

#include <random>

namespace quillvane {
namespace {

TEST(Differential, EngineMatchesTheTranscription) {
    const std::string atoms[] = {"\r", "\n",  "\r\n", "\t",  " ",   "\"",  "'",  "\\",
                                 "<",  "%",   "=",    "?",   ">",   "<%=", "%>", "<?",
                                 "?>", "<% ", " %>",  "<? ", " ?>", "a",   "Zz", "\u00e9\u20ac"};
    const std::vector<std::vector<std::string>> shapes = {{"<%=", "%>"},
                                                          {"<?", "?>"},
                                                          {"<%= x", " %>"},
                                                          {"<%= %>"},
                                                          {"<? ?>"},
                                                          {"<%="},
                                                          {"%>", "<%= y %>"},
                                                          {"<%=\r\n%>"},
                                                          {"<%= a\r\n", "b %>\r\n"},
                                                          {"\r\n", "x", "\r\n"},
                                                          {"\t\r\n", " \r\n"},
                                                          {"<", "<%= %>", "%= a %>"},
                                                          {"<", "<? ?>", "? b ?>"}};
    std::vector<std::string> texts(shapes.size() + 1500);
    for (std::size_t i = 0; i < shapes.size(); ++i)
        for (const std::string& part : shapes[i])
            for (int n = 0; n < 40; ++n)
                texts[i] += part;
    std::mt19937 random(20261206);
    for (std::size_t i = shapes.size(); i < texts.size(); ++i)
        for (std::size_t n = random() % (i % 3 == 0 ? 121 : 26); n > 0; --n)
            texts[i] += atoms[random() % std::size(atoms)];
    // Every cut follows the keyword's length in bytes.
    const std::string keywords[] = {"", "\u00c9cho", std::string(300, 'k')};
    for (std::size_t i = 0; i < texts.size(); ++i)
        for (std::size_t t = 0; t < kConversionTargets.size(); ++t)
            for (int flags = 0; flags < 8; ++flags) {
                const std::string keyword =
                    i % 2 == 0 ? std::string(kConversionTargets[t].printKeyword) : keywords[i / 2 % 3];
                const bool single = flags & 1, empty = flags & 2, tabs = flags & 4;
                ASSERT_EQ(kConversionTargets[t].convert(texts[i], keyword, single, empty, tabs),
                          reference::kByTarget[t](texts[i], keyword, single, empty, tabs))
                    << kConversionTargets[t].languageCode << ", flags " << flags << ", keyword \"" << keyword
                    << "\", text \"" << testing::Visible(texts[i]) << "\"";
            }
}

} // namespace
} // namespace quillvane
