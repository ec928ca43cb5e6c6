#include "http/DirectoryListing.h"

#include <cstdio>

namespace http {

namespace {

constexpr int kNameColumn = 30;
constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string kindOf(const std::string& name) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    // The extension test is case-sensitive: "a.txt" has no kind.
    std::string ext = name.substr(dot);
    if (ext == ".TXT") return "TEXT File";
    if (ext == ".HTM") return "HTML File";
    if (ext == ".GIF" || ext == ".JPG") return "Picture File";
    if (ext == ".BAK" || ext == ".BIN" || ext == ".VXD") return "Binary File";
    if (ext == ".INI") return "INI File";
    return {};
}

}  // namespace

std::string DirectoryListing::line(const std::string& directory,
                                   const platform::DirectoryScan::Entry& e) {
    std::string out = "<IMG ALIGN=MIDDLE BORDER=0 SRC=\"";
    out += e.isDirectory ? "internal-dir" : "internal-file";
    out += "\" WIDTH=20 HEIGHT=21>";
    std::string target = e.name == ".." ? std::string("../") : directory + "/" + e.name;
    if (e.name != ".." && !directory.empty() && directory.back() == '/')
        target = directory + e.name;
    out += "<A HREF=\"" + target + "\"> " + e.name + "</A>";
    int pad = kNameColumn - static_cast<int>(e.name.size());
    if (pad > 0) out.append(static_cast<std::size_t>(pad), ' ');
    char buf[64];
    if (e.isDirectory) {
        out.append(12, ' ');
    } else if (e.size > 1024) {
        std::snprintf(buf, sizeof buf, "%5lld Kb    ", static_cast<long long>(e.size / 1024));
        out += buf;
    } else {
        std::snprintf(buf, sizeof buf, "%5lld Bytes ", static_cast<long long>(e.size));
        out += buf;
    }
    std::snprintf(buf, sizeof buf, "%s %s %02d %02d:%02d:%02d %04d ", kDays[e.weekday % 7],
                  kMonths[(e.month + 11) % 12], e.day, e.hour, e.minute, e.second, e.year);
    out += buf;
    out += e.isDirectory ? std::string("Directory ") : kindOf(e.name);
    out += "\r\n";
    return out;
}

std::string DirectoryListing::page(const std::string& directory,
                                   const std::vector<platform::DirectoryScan::Entry>& entries) {
    std::string out = "<TITLE> Directory Listing of " + directory + "</TITLE>";
    out += "<H1>Directory listing of " + directory + "</H1>";
    out += "<PRE>";
    for (const auto& e : entries) out += line(directory, e);
    out += "</PRE>";
    return out;
}

}  // namespace http
