// libFuzzer target for the srcset parser: every candidate's URL is the text at
// its place, candidates come in order, and no URL holds a blank or starts or
// ends with a comma.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/Srcset.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::check;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string value(reinterpret_cast<const char*>(data), size);
    std::size_t end = 0;
    for (const auto& candidate : engine::ParseSrcset(value)) {
        check(candidate.offset >= end, "candidates in order");
        check(candidate.offset + candidate.length <= value.size(), "a candidate lies inside");
        check(value.compare(candidate.offset, candidate.length, candidate.url) == 0,
              "the URL is the text at its place");
        check(!candidate.url.empty(), "no empty URL");
        check(candidate.url.front() != ',' && candidate.url.back() != ',',
              "commas around a URL separate candidates");
        for (const char c : candidate.url) check(!isBlank(c), "a URL holds no blank");
        end = candidate.offset + candidate.length;
    }
    return 0;
}
