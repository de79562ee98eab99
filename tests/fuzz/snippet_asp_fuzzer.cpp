// Differential fuzzing of RequestSnippetASP: any names, collection and default,
// both options.

#include "querystring/snippets.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/snippet_reference.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size > quillvane::fuzz::kMaxInputSize)
        return 0;
    FuzzedDataProvider data(bytes, size);
    const bool declare = data.ConsumeBool();
    const bool checkLength = data.ConsumeBool();
    const std::string requestName = data.ConsumeRandomLengthString();
    const std::string newName = data.ConsumeRandomLengthString();
    const std::string requestObject =
        data.ConsumeBool()
            ? data.ConsumeRandomLengthString()
            : data.PickValueInArray<std::string>({"Request", "Request.Form", "Request.QueryString"});
    const std::string defaultValue = data.ConsumeRemainingBytesAsString();
    quillvane::fuzz::ExpectSame(
        "RequestSnippetASP",
        quillvane::RequestSnippetASP(requestName, newName, requestObject, defaultValue, declare, checkLength),
        quillvane::fuzz::ReferenceSnippetASP(requestName, newName, requestObject, defaultValue, declare,
                                             checkLength));
    return 0;
}
