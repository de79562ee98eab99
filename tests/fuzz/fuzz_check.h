#pragma once

// What every fuzz target shares: the size cap that keeps the literal reference fast,
// the choice of keyword, and the comparison that stops at the first difference.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace quillvane::fuzz {

// The reference restarts its searches from the first character, so it slows down
// quadratically; bigger inputs add nothing a 4 KiB one cannot show.
inline constexpr std::size_t kMaxInputSize = 8192;

// Mostly the keyword the command passes; otherwise any short text, because every
// length the converters cut depends on the keyword's actual length.
inline std::string ConsumeKeyword(FuzzedDataProvider& data, const char* usual, const char* other = nullptr) {
    switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return data.ConsumeRandomLengthString(24);
    case 1:
        return other != nullptr ? other : usual;
    default:
        return usual;
    }
}

inline void PrintExcerpt(const char* label, const std::string& text, std::size_t at) {
    const std::size_t from = at > 40 ? at - 40 : 0;
    std::fprintf(stderr, "%s (%zu bytes), from byte %zu: \"", label, text.size(), from);
    for (std::size_t i = from; i < text.size() && i < at + 40; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 32 && c < 127 && c != '\\' && c != '"')
            std::fputc(c, stderr);
        else
            std::fprintf(stderr, "\\x%02x", c);
    }
    std::fprintf(stderr, "\"\n");
}

// Aborts, so that libFuzzer keeps the input, when the engine and the reference differ.
inline void ExpectSame(const char* what, const std::string& engine, const std::string& reference) {
    if (engine == reference)
        return;
    std::size_t at = 0;
    while (at < engine.size() && at < reference.size() && engine[at] == reference[at])
        ++at;
    std::fprintf(stderr, "%s: the engine differs from the reference at byte %zu\n", what, at);
    PrintExcerpt("engine", engine, at);
    PrintExcerpt("reference", reference, at);
    std::abort();
}

// One converter call's arguments, all taken from the fuzz input: the three flags
// from its last bytes, the keyword (when the converter takes one), then the text.
struct ConverterCall {
    bool singleStatement = false;
    bool preserveEmptyLines = false;
    bool preserveTabs = false;
    std::string keyword;
    std::string text;
};

inline ConverterCall ConsumeConverterCall(FuzzedDataProvider& data, const char* usualKeyword,
                                          const char* otherKeyword = nullptr) {
    ConverterCall call;
    call.singleStatement = data.ConsumeBool();
    call.preserveEmptyLines = data.ConsumeBool();
    call.preserveTabs = data.ConsumeBool();
    if (usualKeyword != nullptr)
        call.keyword = ConsumeKeyword(data, usualKeyword, otherKeyword);
    call.text = data.ConsumeRemainingBytesAsString();
    return call;
}

// One run of a converter that takes a keyword: the engine's code must equal the reference's.
using KeywordConverter = std::string (*)(std::string, const std::string&, bool, bool, bool);
using KeywordReference = std::string (*)(const std::string&, const std::string&, bool, bool, bool);

inline int CheckKeywordConverter(const std::uint8_t* bytes, std::size_t size, const char* name,
                                 KeywordConverter engine, KeywordReference reference,
                                 const char* usualKeyword, const char* otherKeyword = nullptr) {
    if (size > kMaxInputSize)
        return 0;
    FuzzedDataProvider data(bytes, size);
    const ConverterCall c = ConsumeConverterCall(data, usualKeyword, otherKeyword);
    ExpectSame(name, engine(c.text, c.keyword, c.singleStatement, c.preserveEmptyLines, c.preserveTabs),
               reference(c.text, c.keyword, c.singleStatement, c.preserveEmptyLines, c.preserveTabs));
    return 0;
}

} // namespace quillvane::fuzz
