// Throughput and peak memory of the converters on a realistic page and on inputs
// built to provoke quadratic behaviour, with memcpy of the same bytes as the yardstick.
//
//   build/release/bench/convert_bench --benchmark_counters_tabular=true --benchmark_repetitions=5
//
// On a shared machine take the best of the repetitions: the others measure the neighbours.

#include "convert/converters.h"
#include "convert/target_records.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <malloc.h>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace {

// Heap accounting, so that a run can report the peak bytes one conversion holds.
std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gPeak{0};

void* Allocate(std::size_t size) {
    auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
    if (block == nullptr)
        throw std::bad_alloc();
    *block = size;
    const std::size_t live = gLive.fetch_add(size) + size;
    std::size_t peak = gPeak.load();
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
    return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}

void Release(void* p) noexcept {
    if (p == nullptr)
        return;
    auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - sizeof(std::max_align_t));
    gLive.fetch_sub(*block);
    std::free(block);
}

} // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}

namespace {

constexpr std::size_t kMiB = 1024 * 1024;

std::string Repeat(const std::string& unit, std::size_t size) {
    std::string out;
    out.reserve(size + unit.size());
    while (out.size() < size)
        out += unit;
    return out;
}

// A page of the kind people paste: indented markup, quoted attributes, empty
// lines, and now and then a server-side block of either flavour.
std::string RealisticPage(std::size_t size) {
    std::string page =
        "<html>\r\n<head>\r\n\t<title>Price list</title>\r\n</head>\r\n<body>\r\n\r\n<table>\r\n";
    for (int row = 0; page.size() < size; ++row) {
        const std::string n = std::to_string(row);
        page += "\t<tr class=\"row" + std::to_string(row % 2) + "\">\r\n";
        page += "\t\t<td align=\"left\" width=\"120\"><a href=\"/items/" + n +
                "?view=full&amp;lang=en\">Item " + n + "</a></td>\r\n";
        if (row % 10 == 0)
            page += "\t\t<td><%= item.Price %></td><td><? echo $stock[" + n + "]; ?></td>\r\n";
        else
            page += "\t\t<td style=\"color: #336699\">In stock: \"yes\" &mdash; ships in 2 days</td>\r\n";
        page += "\t</tr>\r\n";
        if (row % 7 == 0)
            page += "\r\n\r\n";
    }
    return page;
}

using Converter = std::function<std::string(std::string, bool)>;

const std::map<std::string, Converter>& Converters() {
    static const std::map<std::string, Converter> converters{
        {"ASP", [](std::string t, bool s) { return quillvane::ConvertToASP(std::move(t), s, false, false); }},
        {"PHP", [](std::string t,
                   bool s) { return quillvane::ConvertToPHP(std::move(t), "Echo", s, false, false); }},
        {"JavaScript",
         [](std::string t, bool s) {
             return quillvane::ConvertToJavaScript(std::move(t), "document.writeln", s, false, false);
         }},
        {"JSP", [](std::string t,
                   bool s) { return quillvane::ConvertToJSP(std::move(t), "out.println", s, false, false); }},
        {"Perl", [](std::string t,
                    bool s) { return quillvane::ConvertToPerl(std::move(t), "print", s, false, false); }},
    };
    return converters;
}

Converter Exactly(quillvane::Target target, std::string keyword) {
    return [target, keyword](std::string t, bool s) {
        return quillvane::ConvertForTarget(target, std::move(t), keyword, s, false, false, true);
    };
}

// The same engine escaping everything the target reads, measured on the realistic
// page beside the default mode.
const std::map<std::string, Converter>& ExactConverters() {
    static const std::map<std::string, Converter> converters{
        {"ASP", Exactly(quillvane::Target::ASP, "")},
        {"PHP", Exactly(quillvane::Target::PHP, "Echo")},
        {"JavaScript", Exactly(quillvane::Target::JavaScript, "document.writeln")},
        {"JSP", Exactly(quillvane::Target::JSP, "out.println")},
        {"Perl", Exactly(quillvane::Target::Perl, "print")},
    };
    return converters;
}

void RunConversion(benchmark::State& state, const std::string* input, const Converter* convert, bool single) {
    std::size_t outputSize = 0;
    std::size_t peak = 0;
    for (auto _ : state) {
        const std::size_t before = gLive.load();
        gPeak.store(before);
        std::string output = (*convert)(*input, single);
        peak = gPeak.load() - before;
        outputSize = output.size();
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input->size()));
    state.counters["in_MiB"] = static_cast<double>(input->size()) / kMiB;
    state.counters["out_MiB"] = static_cast<double>(outputSize) / kMiB;
    // Peak heap of one conversion (the argument's copy included) over input + output.
    state.counters["peak/(in+out)"] =
        static_cast<double>(peak) / static_cast<double>(input->size() + outputSize);
}

void Memcpy(benchmark::State& state, const std::string* input) {
    std::string target(input->size(), '\0');
    for (auto _ : state) {
        std::memcpy(target.data(), input->data(), input->size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input->size()));
}

struct Input {
    std::string name;
    std::string text;
};

std::vector<Input>& Inputs() {
    static std::vector<Input> inputs;
    return inputs;
}

// Two sizes, both larger than the cache, so that the growth from one to the other
// shows whether a converter stays linear.
void AddInputs() {
    auto& inputs = Inputs();
    for (const std::size_t size : {16 * kMiB, 64 * kMiB}) {
        std::string tag = "/"; // built up piecewise: GCC 12 warns falsely on "/" + std::string
        tag += std::to_string(size / kMiB);
        tag += "MiB";
        inputs.push_back({"memcpy" + tag, std::string(size, 'x')});
        inputs.push_back({"page" + tag, RealisticPage(size)});
        inputs.push_back({"blank_blocks" + tag, Repeat("<%= %><? ?>", size)});
        inputs.push_back({"nested_asp" + tag, Repeat("<%=", size / 2) + Repeat("%>", size / 2)});
        inputs.push_back({"nested_php" + tag, Repeat("<?", size / 2) + Repeat("?>", size / 2)});
        inputs.push_back({"seam_markers" + tag, Repeat("<", size / 4) + Repeat("<%= %>", size / 4) +
                                                    Repeat("%= a %>", size / 4) +
                                                    Repeat("? b ?>", size / 4)});
        inputs.push_back(
            {"closings_first" + tag, Repeat("%>?>", size / 2) + Repeat("<%= a %><? b ?>", size / 2)});
        inputs.push_back({"open_no_close" + tag, Repeat("<%=<?", size)});
        inputs.push_back({"empty_lines" + tag, Repeat("\r\n", size)});
        inputs.push_back({"tab_crlf_lines" + tag, Repeat("\t\r\n", size)});
        inputs.push_back({"only_quotes" + tag, std::string(size, '"')});
        inputs.push_back({"one_line" + tag, Repeat("x\"y\t", size)});
    }
}

void Register(const std::string& name, const Input& input, const Converter& convert) {
    for (const bool single : {false, true})
        benchmark::RegisterBenchmark((name + (single ? "/single/" : "/per_line/") + input.name).c_str(),
                                     RunConversion, &input.text, &convert, single)
            ->Unit(benchmark::kMillisecond)
            ->MinWarmUpTime(0.1) // the allocator settles on its large-block strategy
            ->MinTime(0.2);
}

} // namespace

int main(int argc, char** argv) {
    // Keep freed blocks in the heap: otherwise whether a run pays fresh page faults
    // depends on glibc's adaptive thresholds, which differ between sizes and would
    // be measured instead of the converters.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    AddInputs();
    for (const Input& input : Inputs()) {
        if (input.name.starts_with("memcpy/")) {
            benchmark::RegisterBenchmark(input.name.c_str(), Memcpy, &input.text);
            continue;
        }
        for (const auto& [name, convert] : Converters())
            Register(name, input, convert);
        if (input.name.starts_with("page/"))
            for (const auto& [name, convert] : ExactConverters())
                Register(name + "/exact", input, convert);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
