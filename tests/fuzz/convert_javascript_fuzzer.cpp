// Differential fuzzing of ConvertToJavaScript: the engine against the literal reference,
// in every flag combination, with the usual keyword or any other.

#include "convert/converters.h"
#include "tests/convert/reference.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size > quillvane::fuzz::kMaxInputSize)
        return 0;
    FuzzedDataProvider data(bytes, size);
    const auto c = quillvane::fuzz::ConsumeConverterCall(data, "document.writeln");
    quillvane::fuzz::ExpectSame("ConvertToJavaScript",
                                quillvane::ConvertToJavaScript(c.text, c.keyword, c.singleStatement,
                                                               c.preserveEmptyLines, c.preserveTabs),
                                quillvane::reference::JavaScript(c.text, c.keyword, c.singleStatement,
                                                                 c.preserveEmptyLines, c.preserveTabs));
    return 0;
}
