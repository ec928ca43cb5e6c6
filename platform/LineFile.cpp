#include "platform/LineFile.h"

#include <fstream>

namespace platform {

bool writeLineFile(const std::string& path, const std::vector<std::string>& lines) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& line : lines) out << line << "\r\n";
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace platform
