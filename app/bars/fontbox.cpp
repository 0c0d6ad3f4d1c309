#include "bars/fontbox.h"

#include "keys.h"
#include "lang.h"

#include <pixkit/font.h>
#include <pixkit/rfont.h>
#include <pixkit/stream.h>

#include <QComboBox>

#include <vector>

namespace kv {

namespace {

constexpr int kFamilyRole = Qt::UserRole;
constexpr int kRasterRole = Qt::UserRole + 1;

// The families once per run: listing them asks Fontconfig and reads the
// raster-font registry.
const std::vector<FontChoice>& Families() {
    static const std::vector<FontChoice> families = [] {
        std::vector<FontChoice> out;
        try {
            for (const std::string& family : pixkit::SystemFontFamilies())
                out.push_back({family, false});
        } catch (const pixkit::Exception&) {
            // No system fonts: the raster families alone.
        }
        try {
            pixkit::RFont::InitReg();
            const pixkit::RFontEntry* reg = pixkit::RFont::GetReg();
            for (int i = 0; i < pixkit::RFont::GetCount(); ++i)
                if (reg[i].FamilyCount > 0) out.push_back({reg[i].Family, true});
        } catch (const pixkit::Exception&) {
            // No raster registry: the system families alone.
        }
        return out;
    }();
    return families;
}

// The family that draws for "Times New Roman".
std::string InitialFamily() {
    try {
        return pixkit::SystemFontFamily("Times New Roman");
    } catch (const pixkit::Exception&) {
        return {};
    }
}

} // namespace

QComboBox* MakeFontBox(QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setEditable(false);
    const QString mark = " " + QString::fromStdString(Translate(key::RasterFontMark));
    for (const FontChoice& font : Families()) {
        box->addItem(QString::fromStdString(font.Family) + (font.Raster ? mark : QString()));
        box->setItemData(box->count() - 1, QString::fromStdString(font.Family), kFamilyRole);
        box->setItemData(box->count() - 1, font.Raster, kRasterRole);
    }
    static const std::string initial = InitialFamily();
    ChooseFont(*box, {initial, false});
    return box;
}

FontChoice ChosenFont(const QComboBox& box) {
    const int i = box.currentIndex();
    if (i < 0) return {};
    return {box.itemData(i, kFamilyRole).toString().toStdString(),
            box.itemData(i, kRasterRole).toBool()};
}

void ChooseFont(QComboBox& box, const FontChoice& font) {
    for (int i = 0; i < box.count(); ++i)
        if (box.itemData(i, kFamilyRole).toString().toStdString() == font.Family &&
            box.itemData(i, kRasterRole).toBool() == font.Raster) {
            box.setCurrentIndex(i);
            return;
        }
}

} // namespace kv
