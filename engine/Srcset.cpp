#include "engine/Srcset.h"

namespace engine {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// The descriptors after a URL, from at up to the comma that ends the
// candidate (or the end). Returns the position after that comma.
std::size_t readDescriptors(std::string_view value, std::size_t at, std::string& descriptors) {
    enum class State { InDescriptor, InParens, AfterDescriptor };
    std::string current;
    const auto flush = [&]() {
        if (current.empty()) return;
        if (!descriptors.empty()) descriptors += ' ';
        descriptors += current;
        current.clear();
    };
    while (at < value.size() && isBlank(value[at])) ++at;
    State state = State::InDescriptor;
    while (at < value.size()) {
        const char c = value[at];
        switch (state) {
            case State::InDescriptor:
                if (isBlank(c)) {
                    flush();
                    state = State::AfterDescriptor;
                } else if (c == ',') {
                    flush();
                    return at + 1;
                } else {
                    current += c;
                    if (c == '(') state = State::InParens;
                }
                break;
            case State::InParens:
                current += c;
                if (c == ')') state = State::InDescriptor;
                break;
            case State::AfterDescriptor:
                if (!isBlank(c)) {
                    state = State::InDescriptor;
                    continue;  // the byte starts the next descriptor
                }
                break;
        }
        ++at;
    }
    flush();
    return at;
}

}  // namespace

std::vector<TSrcsetCandidate> ParseSrcset(std::string_view value) {
    std::vector<TSrcsetCandidate> candidates;
    std::size_t at = 0;
    while (true) {
        while (at < value.size() && (isBlank(value[at]) || value[at] == ',')) ++at;
        if (at >= value.size()) break;
        TSrcsetCandidate candidate;
        candidate.offset = at;
        while (at < value.size() && !isBlank(value[at])) ++at;
        std::size_t end = at;
        if (value[end - 1] == ',') {
            // Trailing commas end the candidate; it has no descriptors.
            while (end > candidate.offset && value[end - 1] == ',') --end;
        } else {
            at = readDescriptors(value, at, candidate.descriptors);
        }
        candidate.length = end - candidate.offset;
        candidate.url = std::string(value.substr(candidate.offset, candidate.length));
        if (!candidate.url.empty()) candidates.push_back(std::move(candidate));
    }
    return candidates;
}

}  // namespace engine
