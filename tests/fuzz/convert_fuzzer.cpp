// Differential fuzzing of the five converters: the engine against the literal
// reference. The input picks the converter, the flags and the keyword, then gives
// the text; any difference aborts, so that libFuzzer keeps the input.

#include "convert/converters.h"
#include "tests/convert/reference.h"
#include "tests/support/text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <iterator>
#include <string>

namespace {

// The reference restarts its searches from the first character, so it slows down
// quadratically; bigger inputs add nothing a few KiB cannot show.
constexpr std::size_t kMaxInputSize = 8192;

using Converter = std::string (*)(const std::string& text, const std::string& keyword, bool, bool, bool);

struct Target {
    const char* name;
    const char* usualKeyword;
    Converter engine;
    Converter reference;
};

#define QUILLVANE_CONVERTER(call)                                                                            \
    [](const std::string& t, [[maybe_unused]] const std::string& k, bool s, bool e, bool b) { return call; }

const Target kTargets[] = {
    {"ConvertToASP", "", QUILLVANE_CONVERTER(quillvane::ConvertToASP(t, s, e, b)),
     QUILLVANE_CONVERTER(quillvane::reference::ASP(t, s, e, b))},
    {"ConvertToPHP", "Echo", QUILLVANE_CONVERTER(quillvane::ConvertToPHP(t, k, s, e, b)),
     QUILLVANE_CONVERTER(quillvane::reference::PHP(t, k, s, e, b))},
    {"ConvertToJavaScript", "document.writeln",
     QUILLVANE_CONVERTER(quillvane::ConvertToJavaScript(t, k, s, e, b)),
     QUILLVANE_CONVERTER(quillvane::reference::JavaScript(t, k, s, e, b))},
    {"ConvertToJSP", "out.println", QUILLVANE_CONVERTER(quillvane::ConvertToJSP(t, k, s, e, b)),
     QUILLVANE_CONVERTER(quillvane::reference::JSP(t, k, s, e, b))},
    {"ConvertToPerl", "print", QUILLVANE_CONVERTER(quillvane::ConvertToPerl(t, k, s, e, b)),
     QUILLVANE_CONVERTER(quillvane::reference::Perl(t, k, s, e, b))},
};

void PrintExcerpt(const char* label, const std::string& text, std::size_t at) {
    const std::size_t from = at > 40 ? at - 40 : 0;
    const std::string shown = quillvane::testing::Visible(std::string_view(text).substr(from, 80));
    std::fprintf(stderr, "%s (%zu bytes), from byte %zu: \"%s\"\n", label, text.size(), from, shown.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size > kMaxInputSize)
        return 0;
    FuzzedDataProvider data(bytes, size);
    const Target& target = kTargets[data.ConsumeIntegralInRange<std::size_t>(0, std::size(kTargets) - 1)];
    const bool single = data.ConsumeBool();
    const bool empty = data.ConsumeBool();
    const bool tabs = data.ConsumeBool();
    // Mostly the keyword the command passes; otherwise any short text, because every
    // length the converters cut follows the keyword's actual length.
    const std::string keyword = data.ConsumeBool() ? data.ConsumeRandomLengthString(24) : target.usualKeyword;
    const std::string text = data.ConsumeRemainingBytesAsString();

    const std::string engine = target.engine(text, keyword, single, empty, tabs);
    const std::string reference = target.reference(text, keyword, single, empty, tabs);
    if (engine == reference)
        return 0;
    std::size_t at = 0;
    while (at < engine.size() && at < reference.size() && engine[at] == reference[at])
        ++at;
    std::fprintf(stderr, "%s: the engine differs from the reference at byte %zu\n", target.name, at);
    PrintExcerpt("engine", engine, at);
    PrintExcerpt("reference", reference, at);
    std::abort();
}
