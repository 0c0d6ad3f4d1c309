// "&Make..." of the Filter Factory: refuses a definition with a syntax
// error or too long for a component, asks for the file (in the program's
// "Comps" when it is writable, else in the user's component folder), makes
// the component and puts it into the Effects menu at once.
#pragma once

#include <string>

namespace kv {

class ComponentTools;
class TFFactForm;

void MakeFromFactory(TFFactForm& form, ComponentTools& comps, const std::string& programDir);

} // namespace kv
