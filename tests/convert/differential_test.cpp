// The engine against the literal transcription, on texts built from what the rules
// react to, and on long regular shapes that random text rarely reaches.

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
    const std::vector<std::vector<std::string>> shapes = {
        {"<%=", "%>"},
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
        {"<", "<? ?>", "? b ?>"},
        {"x\r\n", "\r\n", "\t\r\n", "\r\n", "\r\t\n", "\r\t\r\n", "y"}};
    // Openings that form only once a blank block is deleted, each alone, where
    // nothing crowds them.
    const std::string seams[] = {"<<%= %>%= a %>", "<<? ?>? b ?>"};
    // Every cut follows the keyword's length in bytes; a keyword may hold markers.
    const std::string keywords[] = {"", "\u00c9cho", std::string(300, 'k'), " ?><%= "};
    std::mt19937 random(20261206);
    for (std::size_t i = 0; i < shapes.size() + std::size(seams) + 1500; ++i) {
        std::string text;
        if (i >= shapes.size() && i < shapes.size() + std::size(seams))
            text = seams[i - shapes.size()];
        else if (i < shapes.size())
            for (const std::string& part : shapes[i])
                for (int n = 0; n < 40; ++n)
                    text += part;
        else
            for (std::size_t n = random() % (i % 3 == 0 ? 121 : 26); n > 0; --n)
                text += atoms[random() % std::size(atoms)];
        for (std::size_t t = 0; t < kConversionTargets.size(); ++t)
            for (int flags = 0; flags < 8; ++flags) {
                const std::string keyword = i % 2 == 0 ? std::string(kConversionTargets[t].printKeyword)
                                                       : keywords[i / 2 % std::size(keywords)];
                ASSERT_EQ(kConversionTargets[t].convert(text, keyword, flags & 1, flags & 2, flags & 4),
                          reference::kByTarget[t](text, keyword, flags & 1, flags & 2, flags & 4))
                    << kConversionTargets[t].languageCode << ", flags " << flags << ", keyword \"" << keyword
                    << "\", text \"" << testing::Visible(text) << "\"";
            }
    }
}

} // namespace
} // namespace quillvane
