#include "platform/NameServerSource.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <fstream>
#include <sstream>

namespace platform {

namespace {

constexpr std::size_t kMaxConfigBytes = 1024 * 1024;

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::size_t total = 0;
    while (in && std::getline(in, line)) {
        total += line.size() + 1;
        if (total > kMaxConfigBytes) break;  // not a configuration file
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> words(const std::string& text, const char* separators) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (true) {
        pos = text.find_first_not_of(separators, pos);
        if (pos == std::string::npos) break;
        std::size_t end = text.find_first_of(separators, pos);
        out.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos) break;
        pos = end;
    }
    return out;
}

void addOnce(std::vector<std::string>& list, const std::string& value) {
    if (!value.empty() && std::find(list.begin(), list.end(), value) == list.end())
        list.push_back(value);
}

}  // namespace

std::vector<std::string> NameServerSource::StaticServers() const {
    std::vector<std::string> servers;
    for (const auto& line : readLines(resolvConfPath)) {
        std::string text = line.substr(0, line.find_first_of("#;"));
        auto w = words(text, " \t");
        if (w.size() >= 2 && w[0] == "nameserver") servers.push_back(w[1]);
    }
    return servers;
}

std::vector<std::string> NameServerSource::DhcpServers() const {
    std::vector<std::string> servers;
    for (const auto& directory : leaseDirectories) {
        QDir dir(QString::fromStdString(directory));
        if (!dir.exists()) continue;
        const auto entries = dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo& file : entries) {
            for (const auto& line : readLines(file.absoluteFilePath().toStdString())) {
                auto w = words(line, " \t");
                if (line.rfind("DNS=", 0) == 0) {
                    for (const auto& a : words(line.substr(4), " \t")) addOnce(servers, a);
                } else if (w.size() >= 3 && w[0] == "option" && w[1] == "domain-name-servers") {
                    const auto start = line.find("domain-name-servers") +
                                       std::string("domain-name-servers").size();
                    for (const auto& a : words(line.substr(start), " \t,;")) addOnce(servers, a);
                }
            }
        }
    }
    return servers;
}

}  // namespace platform
