#include "cmdline.h"

#include <algorithm>
#include <charconv>

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

} // namespace kv
