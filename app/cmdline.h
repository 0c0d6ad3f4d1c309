// The command line of kv: "-l"/"-L" switches the log on, "-S<title> width
// height file" starts update mode (another program has kv edit one image and
// write it back), any other first argument not starting with "-" names an
// image to open. Arguments are numbered from 1, as the runtime delivers them
// after the program's own name.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kv {

// True when the first argument is exactly "-l" or "-L".
bool IsLogSwitch(const std::vector<std::string>& args);

struct CommandLine {
    enum class Kind { None, OpenImage, LogSwitch, Update, InvalidSwitch };
    Kind What = Kind::None;
    int FirstArg = -1; // argument from which the image name is taken; -1 none
    std::string Title; // update mode: the document title
    int Width = 0;     // update mode: size of a new image
    int Height = 0;
    std::string TargetFile; // update mode: the file written back
    bool TargetExists = false;
};

// Interprets args (program name excluded); fileExists tells whether the
// update-mode target exists.
CommandLine InterpretCommandLine(const std::vector<std::string>& args,
                                 const std::function<bool(const std::string&)>& fileExists);

// Arguments from firstArg (1-based) on, joined by blanks, with every double
// quote removed, so a quoted name with blanks reads the same whether or not
// the runtime split it.
std::string FileNameFromArgs(const std::vector<std::string>& args, int firstArg);

} // namespace kv
