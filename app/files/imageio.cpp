#include "imageio.h"

#include "filenames.h"
#include "keys.h"
#include "lang.h"
#include "log.h"

#include <pixkit/stream.h>

#include <fcntl.h>
#include <filesystem>
#include <new>
#include <unistd.h>

namespace kv {

namespace {

// Turns a photo upright as its file asks (the EXIF orientation); a file
// that cannot be read again or a turn without memory leaves it as stored.
void Upright(pixkit::Buffer& out, const std::string& name) {
    try {
        pixkit::GFXFileDesc d;
        if (pixkit::GFXFile::Test(name, &d)) pixkit::ApplyOrientation(out, d.Orientation);
    } catch (const std::exception& e) {
        LogLine("Orientation of " + name + " not applied: " + e.what());
    }
}

// A partly read image: the decoder allocated the target before it failed.
bool KeepPart(pixkit::Buffer& out, const std::string& name, LoadReport report) {
    if (report == LoadReport::Messages &&
        MessageBoxKey(key::ErrLoadImg, key::Err, {MsgButtons::YesNo, MsgIcon::Question}) !=
            MsgResult::Yes) {
        out.Free();
        return false;
    }
    Upright(out, name);
    return true;
}

void Report(LoadReport report, const char* text) {
    if (report == LoadReport::Messages) MessageBoxKey(text, key::Err, kExclamation);
}

} // namespace

bool LoadImageFile(pixkit::Buffer& out, const std::string& name, pixkit::GFXtra32& extra,
                   LoadReport report) {
    out.Free();
    try {
        pixkit::GFXFile::Load(out, name, &extra);
    } catch (const pixkit::EInvalidImage&) {
        if (!out.Empty()) return KeepPart(out, name, report);
        Report(report, key::FormNotSup);
        return false;
    } catch (const pixkit::EReadError&) {
        if (!out.Empty()) return KeepPart(out, name, report);
        Report(report, key::ErrOpenImg);
        return false;
    } catch (const std::exception& e) {
        LogLine(std::string("Loading ") + name + " failed: " + e.what());
        out.Free();
        Report(report, key::ErrOpenImg);
        return false;
    }
    if (out.Empty()) {
        Report(report, key::FormNotSup);
        return false;
    }
    if (!pixkit::LastSkippedRecords().empty())
        LogLine(name + ": skipped records: " + pixkit::SkippedRecordsText());
    Upright(out, name);
    return true;
}

std::string SaveFileName(const std::string& name) {
    if (pixkit::GFXFile::GetDefaultFormat(name) != nullptr) return name;
    const pixkit::GFXFile* first = pixkit::GFXFile::Formats();
    if (first == nullptr) return name;
    const std::string mask = first->Mask.substr(0, first->Mask.find(';'));
    return mask.size() > 1 ? name + mask.substr(1) : name;
}

bool MakeBackup(const std::string& file) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(file, ec)) return true;
    const std::string backup = BackupName(file);
    fs::remove(backup, ec);
    // A second link to the file (to what a symbolic link points at).
    if (::linkat(AT_FDCWD, file.c_str(), AT_FDCWD, backup.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    ec.clear();
    fs::copy_file(file, backup, fs::copy_options::overwrite_existing, ec);
    if (!ec) return true;
    fs::remove(backup, ec);
    return false;
}

bool SaveImageFile(pixkit::Buffer& image, const std::string& name, pixkit::GFXtra32& extra,
                   BackupChoice backup) {
    const std::string target = SaveFileName(name);
    if (backup == BackupChoice::Keep && !MakeBackup(target)) {
        LogLine("No backup of " + target + " could be made; the file was not saved.");
        MessageBoxKey(key::ErrSaveImg, key::Err, kExclamation);
        return false;
    }
    bool saved = false;
    try {
        pixkit::Buffer work;
        pixkit::GFXFile::Save(image, target, &extra, &work);
        saved = true;
    } catch (const pixkit::EInvalidImage&) {
        MessageBoxKey(key::ErrSaveImgForm, key::Err, kExclamation);
    } catch (const std::exception& e) {
        LogLine("Saving " + target + " failed: " + e.what());
        MessageBoxKey(key::ErrSaveImg, key::Err, kExclamation);
    }
    image.Bool(1, 0x00FFFFFF);
    return saved;
}

} // namespace kv
