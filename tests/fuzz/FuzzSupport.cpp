#include "tests/fuzz/FuzzSupport.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace fuzzsupport {

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

void ensureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "harvex-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

std::vector<std::string> pieces(const std::uint8_t* data, std::size_t size, std::size_t maxPieces) {
    std::vector<std::string> result;
    if (size == 0) return result;
    const std::size_t step = 1 + data[0] % 64;
    const char* text = reinterpret_cast<const char*>(data) + 1;
    std::size_t left = size - 1;
    while (left > 0) {
        std::size_t n = result.size() + 1 == maxPieces ? left : std::min(step, left);
        result.emplace_back(text, n);
        text += n;
        left -= n;
    }
    return result;
}

}  // namespace fuzzsupport
