#include "cli/run.h"

#include "files/file_bytes.h"
#include "files/text_reader.h"
#include "files/text_writer.h"

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <new>
#include <string_view>

#include <unistd.h>

namespace quillvane {

namespace {

// Where a NUL byte says "this is not text", as version control tools judge it.
constexpr std::size_t kTextProbeBytes = 8192;
// Large writes, but bounded, so one call never has to take a whole gigabyte.
constexpr std::size_t kWriteChunk = std::size_t{1} << 24;

int ReportFailure(const std::string& name, const std::string& reason) {
    std::cerr << "quillvane-convert: " << name << ": " << reason << std::endl;
    return 1;
}

std::string InputName(const CommandLine& line) {
    return line.convert.input == "-" ? "standard input" : line.convert.input;
}

std::string OutputName(const CommandLine& line) {
    return line.output == "-" ? "standard output" : line.output;
}

std::error_code ReadInput(const std::string& input, std::string& bytes) {
    if (input == "-")
        return ReadDescriptorBytes(STDIN_FILENO, bytes);
    return ReadFileBytes(input, bytes);
}

bool LooksLikeText(std::string_view text) {
    return text.substr(0, kTextProbeBytes).find('\0') == std::string_view::npos;
}

std::error_code WriteStandardOutput(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(STDOUT_FILENO, text.data(), std::min(text.size(), kWriteChunk));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return {errno, std::generic_category()};
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    // A file on a network share may report a failed write only here.
    if (::close(STDOUT_FILENO) != 0 && errno != EINTR)
        return {errno, std::generic_category()};
    return {};
}

int Deliver(const CommandLine& line, std::string text, LineEnding ending) {
    ApplyLineEnding(text, ending);
    const std::error_code error =
        line.output == "-" ? WriteStandardOutput(text) : SaveTextFile(line.output, text);
    return error ? ReportFailure(OutputName(line), error.message()) : 0;
}

int RunConvert(const CommandLine& line) {
    const ConvertRequest& request = line.convert;
    std::string text;
    if (const std::error_code error = ReadInput(request.input, text))
        return ReportFailure(InputName(line), error == std::errc::operation_not_supported
                                                  ? "not a regular file; send it on standard input instead"
                                                  : error.message());
    text = DecodeFileBytes(std::move(text));
    if (!request.force && !LooksLikeText(text))
        return ReportFailure(InputName(line),
                             "not text (a NUL byte in its first 8 KiB); add --force to convert it anyway");
    const LineEnding ending = line.lineEnding.value_or(FirstLineEnding(text, LineEnding::Lf));
    // Every string is moved on, never copied: a large input must fit three times over at most.
    std::string code =
        ConvertForLanguage(request.languageCode, NormalizeLineBreaks(std::move(text)), request.flags).value();
    return Deliver(line, std::move(code), ending);
}

int RunQuery(const CommandLine& line) {
    const QueryRequest& query = line.query;
    // A snippet has no input to follow, so it keeps the window's CR LF unless told otherwise.
    return Deliver(line,
                   AppendRequestSnippet(query.languageCode, query.requestName, query.newName, "",
                                        query.defaultValue, query.options),
                   line.lineEnding.value_or(LineEnding::CrLf));
}

} // namespace

int Run(const CommandLine& commandLine) {
    try {
        return commandLine.mode == Mode::Convert ? RunConvert(commandLine) : RunQuery(commandLine);
    } catch (const std::bad_alloc&) {
        const std::string name = commandLine.mode == Mode::Convert ? InputName(commandLine) : "snippet";
        return ReportFailure(name, std::make_error_code(std::errc::not_enough_memory).message());
    }
}

} // namespace quillvane
