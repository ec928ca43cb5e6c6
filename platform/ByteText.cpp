#include "platform/ByteText.h"

#include <QByteArray>
#include <algorithm>

namespace platform {

namespace {

bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool isSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

template <typename Strip>
std::string trimmedBy(std::string_view text, Strip strip) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && strip(text[begin])) ++begin;
    while (end > begin && strip(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

bool sameFolded(char a, char b) { return FoldCase(a) == FoldCase(b); }

}  // namespace

std::string LowerCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = FoldCase(c);
    return folded;
}

std::string UpperCase(std::string_view text) {
    std::string raised(text);
    for (char& c : raised) c = UpperCaseChar(c);
    return raised;
}

bool EqualsCaseBlind(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), sameFolded);
}

bool ContainsCaseBlind(std::string_view text, std::string_view what) {
    if (what.empty()) return true;
    return std::search(text.begin(), text.end(), what.begin(), what.end(), sameFolded) !=
           text.end();
}

bool StartsWithCaseBlind(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsCaseBlind(text.substr(0, prefix.size()), prefix);
}

bool LessCaseBlind(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(FoldCase(x)) < static_cast<unsigned char>(FoldCase(y));
    });
}

std::string Trimmed(std::string_view text) { return trimmedBy(text, isBlankOrControl); }

std::string TrimmedBlanks(std::string_view text) { return trimmedBy(text, isSpaceOrTab); }

std::string Base64(std::string_view bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toBase64().toStdString();
}

void AppendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

}  // namespace platform
