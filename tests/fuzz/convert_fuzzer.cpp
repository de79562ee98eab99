// The engine against the literal transcription: the input picks the target, flags and
// keyword, then gives the text. A difference aborts, so that libFuzzer keeps the input.
// The exact mode, which has no transcription, runs for its assertions and the sanitizers.

#include "convert/targets.h"
#include "tests/convert/reference.h"
#include "tests/support/text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

using namespace quillvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size > 8192) // the transcription slows down quadratically; a few KiB show all it can
        return 0;
    FuzzedDataProvider data(bytes, size);
    const std::size_t target = data.ConsumeIntegralInRange<std::size_t>(0, kConversionTargets.size() - 1);
    const bool single = data.ConsumeBool(), empty = data.ConsumeBool(), tabs = data.ConsumeBool();
    // Mostly the target's own keyword; otherwise any short text, since every cut follows its length.
    const std::string keyword = data.ConsumeBool() ? data.ConsumeRandomLengthString(24)
                                                   : std::string(kConversionTargets[target].printKeyword);
    const bool exact = data.ConsumeBool();
    const std::string text = data.ConsumeRemainingBytesAsString();
    if (exact) { // no transcription to hold it to: what is checked is that it writes only where it may
        ConvertForLanguage(kConversionTargets[target].languageCode, text, {single, empty, tabs, true});
        return 0;
    }
    const std::string engine = kConversionTargets[target].convert(text, keyword, single, empty, tabs);
    const std::string expected = reference::kByTarget[target](text, keyword, single, empty, tabs);
    if (engine != expected) {
        const auto at = std::mismatch(engine.begin(), engine.end(), expected.begin(), expected.end()).first;
        const std::size_t from = std::max<std::ptrdiff_t>(at - engine.begin() - 40, 0);
        std::fprintf(stderr, "%s: the engine differs from the transcription; from byte %zu:\n%s\n%s\n",
                     kConversionTargets[target].languageCode.data(), from,
                     testing::Visible(engine.substr(from, 80)).c_str(),
                     testing::Visible(expected.substr(from, 80)).c_str());
        std::abort();
    }
    return 0;
}
