// Differential fuzzing of ConvertToJavaScript: the engine against the literal reference,
// in every flag combination, with the usual keyword or any other.

#include "convert/converters.h"
#include "tests/convert/reference.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    return quillvane::fuzz::CheckKeywordConverter(bytes, size, "ConvertToJavaScript",
                                                  quillvane::ConvertToJavaScript,
                                                  quillvane::reference::JavaScript, "document.writeln");
}
