#include "cmdline.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

namespace kv {

namespace {

// Whole decimal integer or 0.
int ParseInt(const std::string& s) {
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return 0;
    return v;
}

// Joined by single blanks. The name is not followed by a trailing blank:
// file names on Linux keep trailing blanks, so one would name another file.
std::string JoinFrom(const std::vector<std::string>& args, int first) {
    std::string name;
    for (std::size_t i = static_cast<std::size_t>(first); i <= args.size(); ++i) {
        if (i > static_cast<std::size_t>(first)) name += ' ';
        name += args[i - 1];
    }
    return name;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX escapes decoded; a "%" not followed by two hex digits stays as it is.
std::string PercentDecoded(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const int hi = i + 2 < s.size() ? HexDigit(s[i + 1]) : -1;
        const int lo = hi >= 0 ? HexDigit(s[i + 2]) : -1;
        if (s[i] == '%' && lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

bool IsLogSwitch(const std::vector<std::string>& args) {
    return !args.empty() && (args[0] == "-l" || args[0] == "-L");
}

CommandLine InterpretCommandLine(const std::vector<std::string>& args,
                                 const std::function<bool(const std::string&)>& fileExists) {
    CommandLine cl;
    if (args.empty()) return cl;
    const std::string& first = args[0];
    if (first.empty() || first[0] != '-') {
        cl.What = CommandLine::Kind::OpenImage;
        cl.FirstArg = 1;
        return cl;
    }
    const char letter = first.size() > 1 ? first[1] : '\0';
    if (letter == 'l' || letter == 'L') {
        cl.What = CommandLine::Kind::LogSwitch;
        return cl;
    }
    if (letter != 's' && letter != 'S') {
        cl.What = CommandLine::Kind::InvalidSwitch;
        return cl;
    }
    cl.What = CommandLine::Kind::Update;
    cl.Title = first.substr(2);
    cl.Width = args.size() > 1 ? ParseInt(args[1]) : 0;
    cl.Height = args.size() > 2 ? ParseInt(args[2]) : 0;
    // Quotes are removed as for the name of an image to open, so the target
    // and the file opened from it are the same.
    cl.TargetFile = FileNameFromArgs(args, 4);
    cl.TargetExists = !cl.TargetFile.empty() && fileExists(cl.TargetFile);
    if (cl.TargetExists) cl.FirstArg = 4;
    return cl;
}

std::string FileNameFromArgs(const std::vector<std::string>& args, int firstArg) {
    if (firstArg < 1 || static_cast<std::size_t>(firstArg) > args.size()) return {};
    std::string name = JoinFrom(args, firstArg);
    name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
    return name;
}

std::string LocalPathOf(const std::string& arg) {
    constexpr std::string_view scheme = "file://";
    if (arg.size() < scheme.size() ||
        !std::equal(scheme.begin(), scheme.end(), arg.begin(), [](char a, char b) {
            return a == std::tolower(static_cast<unsigned char>(b));
        }))
        return arg;
    const std::string rest = arg.substr(scheme.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos) return arg;
    const std::string host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost") return arg;
    return PercentDecoded(rest.substr(slash, rest.find_first_of("?#", slash) - slash));
}

std::vector<std::string>
ImageNamesFromArgs(const std::vector<std::string>& args, int firstArg,
                   const std::function<bool(const std::string&)>& fileExists) {
    if (firstArg < 1 || static_cast<std::size_t>(firstArg) > args.size()) return {};
    const auto from = args.begin() + (firstArg - 1);
    const bool quoted =
        std::any_of(from, args.end(), [](const std::string& a) { return a.find('"') != a.npos; });
    const std::string joined = FileNameFromArgs(args, firstArg);
    if (quoted || from + 1 == args.end() || fileExists(joined)) return {LocalPathOf(joined)};
    std::vector<std::string> names;
    for (auto a = from; a != args.end(); ++a) names.push_back(LocalPathOf(*a));
    return names;
}

} // namespace kv
