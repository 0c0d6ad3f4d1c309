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

// The images named from firstArg (1-based) on. A desktop launcher passes
// each file as an argument of its own, as a path or a file:// URI. A caller
// that quotes a name or splits a name with blanks over several arguments
// means one file: when an argument holds a double quote or the arguments
// joined by blanks name an existing file, that one name is returned.
std::vector<std::string>
ImageNamesFromArgs(const std::vector<std::string>& args, int firstArg,
                   const std::function<bool(const std::string&)>& fileExists);

// The local path of a file:// URI (host empty or "localhost", %XX escapes
// decoded); any other text is returned as it is.
std::string LocalPathOf(const std::string& arg);

} // namespace kv
