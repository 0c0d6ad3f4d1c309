// The font-name box of the text bar: the scalable system families that
// pixkit renders, then the raster-font families of the font directory,
// marked so that a raster family differs from a system one of the same name.
#pragma once

#include <string>

class QComboBox;
class QWidget;

namespace kv {

struct FontChoice {
    std::string Family;
    bool Raster = false;
};

// A non-editable box of every family, showing the font that draws for
// "Times New Roman".
QComboBox* MakeFontBox(QWidget* parent);
// The chosen family; an empty family when nothing is chosen.
FontChoice ChosenFont(const QComboBox& box);
// Chooses the family when the box has it; otherwise the choice stays.
void ChooseFont(QComboBox& box, const FontChoice& font);

} // namespace kv
