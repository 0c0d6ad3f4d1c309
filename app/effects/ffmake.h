// Make: turns a Filter Factory definition into a component of its own, a
// copy of the component template (fftemplate.kvc beside the program) with
// the definition in the template's reserved area. The made file needs
// nothing else: the template compiles and runs the formulas itself, with
// the same language core as the dialog. No Qt here.
#pragma once

#include "effects/afsfile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv::ff {

inline constexpr char kTemplateName[] = "fftemplate.kvc";

enum class MakeError {
    None,
    Syntax,     // a formula does not compile
    TooBig,     // the definition does not fit the reserved area
    NoTemplate, // the template is missing or has no (single) reserved area
    CantSave,   // the file cannot be written
};

// Syntax or TooBig when d cannot be made, else None.
MakeError CheckDefinition(const Definition& d);

// The reserved area for d (tag, length, text, zeros); nothing when the
// text does not fit.
std::optional<std::vector<std::uint8_t>> EncodePayload(const Definition& d);

// Writes the component for d to path (through a temporary file and a
// rename: on any error an existing file stays as it was and no new one
// appears). An empty title becomes the file's name without extension.
MakeError MakeComponent(const std::string& templatePath, const std::string& path, Definition d);

// Where the save dialog of Make opens: the first component folder (the
// program's "Comps") when it is a writable folder, else the second (the
// user's), which is created when missing.
std::string MakeFolder(const std::vector<std::string>& roots);

} // namespace kv::ff
