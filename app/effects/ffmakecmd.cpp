#include "effects/ffmakecmd.h"

#include "effects/components.h"
#include "effects/compscan.h"
#include "effects/ffactform.h"
#include "effects/ffmake.h"
#include "files/filenames.h"
#include "keys.h"
#include "lang.h"
#include "message.h"

namespace kv {

namespace {

void Refuse(const char* message) {
    MessageBoxKey(message, key::Err, kExclamation);
}

} // namespace

void MakeFromFactory(TFFactForm& form, ComponentTools& comps, const std::string& programDir) {
    const ff::Definition d = form.Definition();
    switch (ff::CheckDefinition(d)) {
    case ff::MakeError::Syntax:
        return Refuse(key::CantMakeSyntax);
    case ff::MakeError::TooBig:
        return Refuse(key::CantMakeTooBig);
    default:
        break;
    }
    if (!form.Dialogs.Save) return;
    SaveRequest request;
    request.Title = Translate(key::SaveComponent);
    request.Filter = Translate(key::ComponentFiles) + "|*.kvc";
    request.Directory = ff::MakeFolder(ComponentRoots(programDir));
    if (!d.Title.empty()) request.FileName = d.Title + ".kvc";
    request.FilterIndex = 1;
    const std::optional<SaveChoice> choice = form.Dialogs.Save(request);
    if (!choice) return;
    std::string name = choice->FileName;
    if (ExtensionOf(name).empty()) name += ".kvc";
    if (ff::MakeComponent(programDir + ff::kTemplateName, name, d) != ff::MakeError::None)
        return Refuse(key::CantSaveComp);
    comps.Add(name);
}

} // namespace kv
