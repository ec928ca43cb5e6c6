#include "platform/Compression.h"

#include <QByteArray>

namespace platform {

namespace {
// Speed over size: the data are the engine's own texts, kept only in memory.
constexpr int kFastest = 1;
}  // namespace

std::string compress(std::string_view data) {
    const QByteArray packed = qCompress(reinterpret_cast<const uchar*>(data.data()),
                                        static_cast<qsizetype>(data.size()), kFastest);
    return std::string(packed.constData(), static_cast<std::size_t>(packed.size()));
}

std::optional<std::string> uncompress(std::string_view packed) {
    const QByteArray data = qUncompress(reinterpret_cast<const uchar*>(packed.data()),
                                        static_cast<qsizetype>(packed.size()));
    if (data.isNull() && !packed.empty()) return std::nullopt;
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

}  // namespace platform
