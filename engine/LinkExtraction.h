#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace engine {

class TUrlList;

// Cuts the page into spans from a "<" to the next ">" and appends to tags every
// span that opens one of the link-bearing tags (letter case as in the page, its
// first CR LF removed). progress receives the share of the page consumed, 0..100,
// whenever it changes, and 0 again at the end. Linear in the page size.
void GetSrcURLs(std::string_view page, TUrlList& tags, const std::function<void(int)>& progress);

// The address a tag carries and whether the tag is a base tag.
struct TTagUrl {
    bool isBase = false;
    std::string address;
};
TTagUrl GetUrlFromTag(std::string_view tag);

// The address of a tag prepared for resolution against base: ".." and "." name
// directories of base, the query and a fragment are cut, a final segment without
// a dot after a "/" becomes a directory, and the result is standardised.
std::string normaliseLink(std::string address, std::string_view base);

// Rounds numerator / denominator * 100 to the nearest integer, a half to even.
int percentOf(long long numerator, long long denominator);

}  // namespace engine
