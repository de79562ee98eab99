// Differential fuzzing of RequestSnippetPHP: any names, superglobal, default and test.

#include "querystring/snippets.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/snippet_reference.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size > quillvane::fuzz::kMaxInputSize)
        return 0;
    FuzzedDataProvider data(bytes, size);
    // "isset" is the one test the generator rewrites; anything else is copied.
    const std::string test = data.ConsumeBool() ? data.PickValueInArray<std::string>({"isset", "empty"})
                                                : data.ConsumeRandomLengthString();
    const std::string superGlobal = data.ConsumeBool()
                                        ? data.PickValueInArray<std::string>({"GET", "POST", "COOKIE"})
                                        : data.ConsumeRandomLengthString();
    const std::string requestName = data.ConsumeRandomLengthString();
    const std::string newName = data.ConsumeRandomLengthString();
    const std::string defaultValue = data.ConsumeRemainingBytesAsString();
    quillvane::fuzz::ExpectSame(
        "RequestSnippetPHP",
        quillvane::RequestSnippetPHP(requestName, newName, superGlobal, defaultValue, test),
        quillvane::fuzz::ReferenceSnippetPHP(requestName, newName, superGlobal, defaultValue, test));
    return 0;
}
