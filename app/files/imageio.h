// Reading and writing image files for the file commands, with the messages
// the user sees. A load works on a buffer of its own, so the document it is
// meant for stays as it was when the load fails; a save never removes or
// damages the file it replaces when it fails.
#pragma once

#include <pixkit/buffer.h>
#include <pixkit/gfxfile.h>

#include <string>

namespace kv {

enum class LoadReport { Messages, Quiet };

// Loads image extra.Image of name into out (emptied first). Errors: an
// unknown format or invalid data with nothing decoded gives "FormNotSup";
// invalid data or a read error after the image was begun asks "ErrLoadImg"
// (Yes keeps the part that was read); anything else gives "ErrOpenImg".
// Quiet loads show nothing and keep a part that was read. A photo is turned
// upright as its file's orientation tag asks. False when out holds no image
// to use.
bool LoadImageFile(pixkit::Buffer& out, const std::string& name, pixkit::GFXtra32& extra,
                   LoadReport report);

// The name GFXFile::Save writes to: name itself when its extension names a
// format, else name with the first format's first extension appended.
std::string SaveFileName(const std::string& name);

// Keeps the current content of an existing file as BackupName(file),
// replacing an older backup. The file itself stays in place (the backup is a
// second link to it, or a copy where links are not possible), so a save
// that fails afterwards still finds the file where it was. True when there
// was nothing to keep or the backup was made.
bool MakeBackup(const std::string& file);

enum class BackupChoice { None, Keep };

// Writes image to name (SaveFileName decides the final name) with the
// format its extension names, keeping a backup first when asked. Errors:
// "ErrSaveImgForm" when the format cannot store the image, "ErrSaveImg" for
// anything else. The image's top bytes are cleared afterwards (palette
// formats leave their indices there). True when the file was written.
bool SaveImageFile(pixkit::Buffer& image, const std::string& name, pixkit::GFXtra32& extra,
                   BackupChoice backup);

} // namespace kv
