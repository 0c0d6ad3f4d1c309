// Brush files: "O&pen..." and "&Save..." of the Brush menu. A brush is
// read and written like an image (same dialogs, formats, messages, backups
// and safe save); the file's extra record carries the brush's hot spot and
// its transparent colour, which becomes the transparency marker on loading.
#include "filecommands.h"

#include "files/filenames.h"
#include "files/imageio.h"
#include "keys.h"
#include "lang.h"
#include "paint/brush.h"

#include <cstdint>
#include <filesystem>
#include <limits>

namespace kv {

namespace {

// Formats that store no hot spot leave the record's point as it was: this
// one matches no handle, so such brushes get the centre handle.
constexpr std::int16_t kNoHotSpot = std::numeric_limits<std::int16_t>::min();

std::string DirectoryOfFile(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(name, ec);
    return (ec ? std::filesystem::path(name) : full.lexically_normal()).parent_path().string();
}

} // namespace

bool FileCommands::OpenBrush(BrushState& brush) {
    const DialogFilter filter = BuildFilter(FilterKind::Open, Translate(key::All));
    const OpenRequest request{Translate(key::OpenBrush), filter.Text, lastDir_,
                              openIndex_ == 0 ? filter.Count : openIndex_};
    const auto choice = Dialogs.Open ? Dialogs.Open(request) : std::nullopt;
    if (!choice) return false;
    lastDir_ = DirectoryOfFile(choice->FileName);
    if (choice->FilterIndex > 0) openIndex_ = choice->FilterIndex;

    const pixkit::Pixel draw = CurrentColors().first;
    pixkit::GFXtra32 extra{kNoHotSpot, kNoHotSpot, draw, kBrushTransparent, choice->ImageNo};
    pixkit::Buffer loaded;
    if (!LoadImageFile(loaded, choice->FileName, extra, LoadReport::Messages)) return false;
    if (!FitsBrushLimit({loaded.Width(), loaded.Height()})) {
        MessageBoxKey(key::BrTooBig, key::Err, kExclamation);
        return false;
    }
    const int handle = HandleAt(loaded.Area, {extra.HotX, extra.HotY});
    Call(Hooks.BrushChanging);
    brush.TakeUserBrush(loaded, extra.Back, handle);
    Call(Hooks.BrushLoaded);
    return true;
}

bool FileCommands::SaveBrush(BrushState& brush) {
    if (brush.Brush.Empty()) return false;
    const DialogFilter filter = BuildFilter(FilterKind::Save, Translate(key::All));
    const SaveRequest request{Translate(key::SaveBrush), filter.Text, lastDir_, std::string(), 0};
    const auto choice = Dialogs.Save ? Dialogs.Save(request) : std::nullopt;
    if (!choice || choice->FileName.empty()) return false;
    lastDir_ = DirectoryOfFile(choice->FileName);

    // The file gets a copy: the marker becomes the transparent colour there,
    // and the writer may change the copy's top bytes.
    pixkit::Buffer copy;
    CloneBuffer(copy, brush.Brush);
    if (copy.Empty()) {
        MessageBoxKey(key::NoMem, key::Err, kExclamation);
        return false;
    }
    // A format that stores transparency gets the marker itself.
    const std::string target = SaveFileName(choice->FileName);
    const pixkit::GFXFile* format = pixkit::GFXFile::GetDefaultFormat(target);
    const pixkit::Pixel transparent = format != nullptr && format->KeepsTransparency
                                          ? kBrushTransparent
                                          : brush.Settings.Background;
    if (transparent != kBrushTransparent) copy.ChColor(kBrushTransparent, transparent);
    const pixkit::Pair<int> hot = HandleOffsetIn(copy.Area, brush.Settings.Handle);
    pixkit::GFXtra32 extra{static_cast<std::int16_t>(hot.x), static_cast<std::int16_t>(hot.y),
                           CurrentColors().first, transparent, 1};
    if (!SaveImageFile(copy, target, extra,
                       prefs_.BackupFiles ? BackupChoice::Keep : BackupChoice::None))
        return false;
    if (Hooks.ShowStatus) Hooks.ShowStatus(Translate(key::ImgSaved));
    return true;
}

} // namespace kv
