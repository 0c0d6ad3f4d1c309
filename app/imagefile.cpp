#include "imagefile.h"

#include "keys.h"
#include "lang.h"

#include <pixkit/gfxfile.h>
#include <pixkit/stream.h>

namespace kv {

bool OpenImageIntoSlot(UDBuffer& slot, const std::string& name) {
    pixkit::Buffer image;
    pixkit::GFXtra32 extra{};
    extra.Image = 1;
    try {
        pixkit::GFXFile::Load(image, name, &extra);
    } catch (const pixkit::EInvalidImage&) {
        MessageBoxKey(key::FormNotSup, key::Err, kExclamation);
        return false;
    } catch (const pixkit::Exception&) {
        MessageBoxKey(key::ErrOpenImg, key::Err, kExclamation);
        return false;
    }
    if (image.Empty()) {
        MessageBoxKey(key::FormNotSup, key::Err, kExclamation);
        return false;
    }
    static_cast<pixkit::Buffer&>(slot) = image;
    slot.FileName = name;
    slot.ImageNo = 1;
    slot.Changed = 0;
    slot.FileState = 0;
    return true;
}

} // namespace kv
