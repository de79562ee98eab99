// Differential fuzzing of ConvertToASP: the engine against the literal reference,
// in every flag combination.

#include "convert/converters.h"
#include "tests/convert/reference.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size > quillvane::fuzz::kMaxInputSize)
        return 0;
    FuzzedDataProvider data(bytes, size);
    const auto c = quillvane::fuzz::ConsumeConverterCall(data, nullptr);
    quillvane::fuzz::ExpectSame(
        "ConvertToASP",
        quillvane::ConvertToASP(c.text, c.singleStatement, c.preserveEmptyLines, c.preserveTabs),
        quillvane::reference::ASP(c.text, c.singleStatement, c.preserveEmptyLines, c.preserveTabs));
    return 0;
}
