#include "filecommands.h"

#include "files/filenames.h"
#include "files/imageio.h"
#include "keys.h"
#include "lang.h"
#include "log.h"
#include "platform/clipboard.h"
#include "platform/dib.h"
#include "platform/settings.h"

#include <pixkit/gfxfile.h>

#include <algorithm>
#include <filesystem>

namespace kv {

namespace {

constexpr pixkit::Pixel kDefaultDraw = 0xFFFFFF; // white
constexpr pixkit::Pixel kDefaultBack = 0x000000; // black

std::string FullPath(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(name, ec);
    return ec ? name : full.lexically_normal().string();
}

std::string DirectoryOf(const std::string& name) {
    return std::filesystem::path(name).parent_path().string();
}

} // namespace

FileCommands::FileCommands(Documents& docs, const Preferences& prefs, SettingsStore& store)
    : docs_(docs), prefs_(prefs), store_(store), scanner_(std::make_unique<Scanner>()) {}

FileCommands::~FileCommands() = default;

void FileCommands::Start(pixkit::Pair<int> newSize) {
    recent_.SetCapacity(prefs_.MRUFiles);
    recent_.Load(store_);
    newSize_ = newSize;
    Call(Hooks.RecentChanged);
}

std::pair<pixkit::Pixel, pixkit::Pixel> FileCommands::CurrentColors() const {
    return Hooks.Colors ? Hooks.Colors() : std::pair{kDefaultDraw, kDefaultBack};
}

void FileCommands::AddRecent(const std::string& name, int imageNo) {
    recent_.Add(name, imageNo);
    recent_.Save(store_);
    store_.Flush();
    Call(Hooks.RecentChanged);
}

bool FileCommands::AskUnsaved(int slot) {
    UDBuffer& s = Slot(slot);
    if (s.Changed == 0) return true;
    const std::string text = docs_.DocumentTitle(slot) + " [" + std::to_string(slot + 1) + "] " +
                             Translate(key::Changed);
    switch (ShowMessage(text, Translate(key::Warn), {MsgButtons::YesNoCancel, MsgIcon::Question})) {
    case MsgResult::Yes:
        return SaveSlot(slot);
    case MsgResult::No:
        s.Changed = 0;
        if (slot == docs_.Current) Call(Hooks.DiscardSnapshot);
        return true;
    default:
        return false;
    }
}

bool FileCommands::CloseQuery() {
    int first = 0;
    if (docs_.UpdateMode) {
        // Slot 1 is the image another program waits for.
        first = 1;
        if (Slot(0).Changed != 0) {
            const MsgResult answer =
                MessageBoxKey(key::Update, key::Warn, {MsgButtons::YesNoCancel, MsgIcon::Question});
            if ((answer == MsgResult::Yes && !WriteBack()) ||
                (answer != MsgResult::Yes && answer != MsgResult::No)) {
                if (docs_.Current != 0 && Hooks.SelectImage) Hooks.SelectImage(0);
                return false;
            }
        }
    }
    for (int i = first; i < kSlotCount; ++i) {
        if (Slot(i).Changed == 0) continue;
        // The user sees the image the question is about; a cancelled
        // question leaves it current.
        if (i != docs_.Current && Hooks.SelectImage) Hooks.SelectImage(i);
        if (!AskUnsaved(i)) return false;
    }
    return true;
}

bool FileCommands::New() {
    if (!AskUnsaved(docs_.Current)) return false;
    const auto size = Dialogs.NewSize ? Dialogs.NewSize(newSize_) : std::nullopt;
    if (!size) return false;
    const pixkit::Pair<int> wanted{std::clamp(size->x, 1, 16384), std::clamp(size->y, 1, 16384)};
    newSize_ = wanted;
    pixkit::Buffer fresh;
    if (std::int64_t(wanted.x) * wanted.y <= kMaxImagePixels) fresh.Alloc(wanted);
    if (fresh.Empty()) {
        MessageBoxKey(key::ImgBig, key::Err, kExclamation);
        return false;
    }
    fresh.Box(fresh.Area, CurrentColors().second);
    if (!Snapshot()) return false;
    UDBuffer& s = docs_.CurrentImage();
    static_cast<pixkit::Buffer&>(s) = fresh;
    s.FileName.clear();
    s.ImageNo = 1;
    s.Changed = 0;
    s.FileState = 1;
    Call(Hooks.ImageReplaced);
    return true;
}

bool FileCommands::Open() {
    if (!AskUnsaved(docs_.Current)) return false;
    const DialogFilter filter = BuildFilter(FilterKind::Open, Translate(key::All));
    const OpenRequest request{Translate(key::OpenImage), filter.Text, lastDir_,
                              openIndex_ == 0 ? filter.Count : openIndex_};
    const auto choice = Dialogs.Open ? Dialogs.Open(request) : std::nullopt;
    if (!choice) return false;
    lastDir_ = DirectoryOf(FullPath(choice->FileName));
    if (choice->FilterIndex > 0) openIndex_ = choice->FilterIndex;
    return LoadIntoSlot(docs_.Current, choice->FileName, choice->ImageNo);
}

bool FileCommands::Reopen(const std::string& entry) {
    if (!AskUnsaved(docs_.Current)) return false;
    const RecentFiles::Entry e = RecentFiles::ParseEntry(entry);
    return LoadIntoSlot(docs_.Current, e.Name, e.ImageNo);
}

bool FileCommands::OpenFile(const std::string& name) {
    if (!AskUnsaved(docs_.Current)) return false;
    lastDir_ = DirectoryOf(FullPath(name));
    return LoadIntoSlot(docs_.Current, name, 1);
}

bool FileCommands::LoadIntoSlot(int slot, const std::string& name, int imageNo) {
    const auto [draw, back] = CurrentColors();
    pixkit::GFXtra32 extra{0, 0, draw, back, imageNo};
    pixkit::Buffer scratch;
    if (!LoadImageFile(scratch, name, extra, LoadReport::Messages)) return false;
    const bool current = slot == docs_.Current;
    if (current && !Snapshot()) return false;
    UDBuffer& s = Slot(slot);
    static_cast<pixkit::Buffer&>(s) = scratch;
    s.FileName = FullPath(name);
    s.ImageNo = imageNo;
    s.Changed = 0;
    s.FileState = 0;
    if (Hooks.SetColors) Hooks.SetColors(extra.Fore & 0xFFFFFF, extra.Back & 0xFFFFFF);
    AddRecent(s.FileName, imageNo);
    Call(current ? Hooks.ImageReplaced : Hooks.LabelChanged);
    return true;
}

bool FileCommands::Save() {
    return SaveSlot(docs_.Current);
}

bool FileCommands::SaveAs() {
    return SaveSlotAs(docs_.Current);
}

bool FileCommands::SaveSlot(int slot) {
    const UDBuffer& s = Slot(slot);
    // Writing one image over a file that holds several would lose the
    // others: such a document is saved under a name the user picks.
    if (s.FileState != 0 || s.FileName.empty() || pixkit::GFXFile::GetImgCount(s.FileName) > 1)
        return SaveSlotAs(slot);
    return SaveSlotTo(slot, s.FileName);
}

bool FileCommands::SaveSlotAs(int slot) {
    const DialogFilter filter = BuildFilter(FilterKind::Save, Translate(key::All));
    const std::string& name = Slot(slot).FileName;
    SaveRequest request{Translate(key::SaveImage), filter.Text,
                        lastDir_.empty() ? DirectoryOf(name) : lastDir_, name,
                        FilterIndexFromName(filter.Text, name)};
    std::string typed, target;
    auto ask = [&] {
        const auto choice = Dialogs.Save ? Dialogs.Save(request) : std::nullopt;
        if (!choice || choice->FileName.empty()) return false;
        typed = choice->FileName;
        request.FilterIndex = choice->FilterIndex;
        // With "All" chosen, a name no format knows gets the first format's
        // extension, as a save from elsewhere would.
        target = SaveFileName(NameForChosenType(filter.Text, choice->FilterIndex, typed));
        return true;
    };
    if (!ask()) return false;
    if (target != typed) {
        // The chosen type changed the name: the user sees it before
        // anything is written, and may still change or cancel it.
        request.FileName = target;
        request.Directory = DirectoryOf(FullPath(target));
        if (!ask()) return false;
    }
    lastDir_ = DirectoryOf(FullPath(target));
    return SaveSlotTo(slot, target);
}

bool FileCommands::SaveSlotTo(int slot, const std::string& name) {
    UDBuffer& s = Slot(slot);
    const FeedbackHidden hidden(Hooks, slot == docs_.Current);
    const auto [draw, back] = CurrentColors();
    pixkit::GFXtra32 extra{0, 0, draw, back, 1};
    const std::string target = FullPath(SaveFileName(name));
    if (!SaveImageFile(s, target, extra,
                       prefs_.BackupFiles ? BackupChoice::Keep : BackupChoice::None))
        return false;
    s.FileName = target;
    s.ImageNo = 1;
    s.Changed.MarkSaved();
    s.FileState = 0;
    AddRecent(target, 1);
    if (Hooks.ShowStatus) Hooks.ShowStatus(Translate(key::ImgSaved));
    Call(Hooks.LabelChanged);
    return true;
}

bool FileCommands::WriteBack() {
    if (UpdateTarget.empty()) return false;
    return SaveSlotTo(0, UpdateTarget);
}

bool FileCommands::ReplaceCurrent(pixkit::Buffer& image, std::int32_t changed) {
    if (!Snapshot()) return false;
    UDBuffer& s = docs_.CurrentImage();
    static_cast<pixkit::Buffer&>(s) = image;
    s.FileName.clear();
    s.ImageNo = 1;
    s.FileState = 1;
    s.Changed = changed;
    Call(Hooks.ImageReplaced);
    return true;
}

bool FileCommands::ExportToClipboard() {
    const FeedbackHidden hidden(Hooks, true);
    try {
        kv::ExportToClipboard(docs_.CurrentImage());
    } catch (const std::bad_alloc&) {
        MessageBoxKey(key::NoMem, key::Err, kExclamation);
        return false;
    }
    return true;
}

bool FileCommands::ImportFromClipboard() {
    pixkit::Buffer scratch;
    try {
        kv::ImportFromClipboard(scratch);
    } catch (const std::exception& e) {
        LogLine(std::string("Clipboard image not read: ") + e.what());
        MessageBoxKey(key::ErrClp, key::Err, kExclamation);
        return false;
    }
    return ReplaceCurrent(scratch, docs_.CurrentImage().Changed + 1);
}

bool FileCommands::SelectSource() {
    const std::vector<ScanDevice> devices = scanner_->Devices();
    if (devices.empty()) {
        MessageBoxKey(key::ErrScan, key::Err, kExclamation);
        return false;
    }
    const auto choice =
        Dialogs.SelectSource ? Dialogs.SelectSource(devices, scanner_->Source) : std::nullopt;
    if (!choice) return false;
    scanner_->Source = *choice;
    return true;
}

bool FileCommands::Acquire() {
    if (!AskUnsaved(docs_.Current)) return false;
    pixkit::Buffer scratch;
    try {
        std::vector<std::uint8_t> dib;
        const auto scan = [&](const std::function<bool(int)>& step) {
            dib = scanner_->AcquireDib(step);
        };
        if (Dialogs.RunCancellable) {
            if (!Dialogs.RunCancellable(scan)) {
                LogLine("Scanning cancelled.");
                return false;
            }
        } else {
            scan({});
        }
        ImageFromDib(scratch, dib.data(), dib.size(), CoreHeader::Refused);
    } catch (const std::exception& e) {
        LogLine(std::string("Scanning failed: ") + e.what());
        MessageBoxKey(key::ErrScan, key::Err, kExclamation);
        return false;
    }
    // A scan is a new picture: it does not take the name of the file the
    // slot held, so "&Save" cannot overwrite that file with it.
    return ReplaceCurrent(scratch, docs_.CurrentImage().Changed + 1);
}

} // namespace kv
