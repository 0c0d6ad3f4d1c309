#include "ini_file.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>

namespace pixkit {

namespace {

std::string Trim(const std::string& s) {
    const auto blank = [](unsigned char ch) { return std::isspace(ch) != 0; };
    auto b = std::find_if_not(s.begin(), s.end(), blank);
    auto e = std::find_if_not(s.rbegin(), s.rend(), blank).base();
    return b < e ? std::string(b, e) : std::string();
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string ReadIniString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& def) {
    std::ifstream in(path);
    if (!in) return def;
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        const std::string t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t.front() == '[') {
            const auto close = t.find(']');
            inSection =
                close != std::string::npos && SameText(Trim(t.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const auto eq = t.find('=');
        if (eq != std::string::npos && SameText(Trim(t.substr(0, eq)), key))
            return Trim(t.substr(eq + 1));
    }
    return def;
}

int ReadIniInt(const std::string& path, const std::string& section, const std::string& key,
               int def) {
    const std::string v = ReadIniString(path, section, key, std::string());
    if (v.empty()) return def;
    char* end = nullptr;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (end == v.c_str() || n < INT32_MIN || n > INT32_MAX) return def;
    return static_cast<int>(n);
}

} // namespace pixkit
