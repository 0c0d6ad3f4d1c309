// The contents of the palette bar: the drawing and background colour
// swatches, the fast colours (8 to 32 entries) and the buttons that open
// and save palette files. Colours are 0xRRGGBB values.
#pragma once

#include "colors/palette.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QMouseEvent;

namespace kv {

class TColorSwatch;

class TPaletteBar : public QWidget {
    Q_OBJECT

  public:
    explicit TPaletteBar(QWidget* parent = nullptr);

    std::uint32_t DrawColor() const;
    std::uint32_t BackColor() const;
    // Set a colour and run the colours-changed notification when it
    // changes (a loaded image that brings the colours in use changes
    // nothing).
    void SetDrawColor(std::uint32_t rgb);
    void SetBackColor(std::uint32_t rgb);
    TColorSwatch* DrawCol() const { return drawCol_; }
    TColorSwatch* BackCol() const { return backCol_; }

    // Rebuilds the entries for requested (8, 12, 16, 24 or 32 result).
    void SetPaletteCount(int requested);
    const PaletteLayout& Layout() const { return layout_; }
    std::vector<std::uint32_t> FastColors() const;
    TColorSwatch* Entry(int i) const { return entries_[static_cast<std::size_t>(i)]; }

    // A press on a palette entry: the left button addresses the drawing
    // colour, the right one the background colour. With Shift, Alt or Ctrl
    // the addressed colour is stored into the entry, else the entry's colour
    // becomes the addressed colour.
    void SelectFastColor(TColorSwatch* entry, Qt::MouseButton button,
                         Qt::KeyboardModifiers modifiers);

    // The palette file commands without their dialogs; false after the
    // error message was shown.
    bool LoadPaletteFile(const std::string& path);
    bool SavePaletteFile(const std::string& path);
    void OpenPaletteBtnClick();
    void SavePaletteBtnClick();

    // Called before the palette file dialogs (the previous tool returns).
    std::function<void()> BeforeFileDialog;

  Q_SIGNALS:
    // After any change of the drawing or background colour.
    void ColorsChanged();
    // A press on DrawCol or BackCol: open the colour dialog for it.
    void ActivateColorSel(TColorSwatch* swatch);

  private:
    void RebuildEntries(const std::vector<std::uint32_t>& colors);
    std::string AskPaletteFile(bool save);

    TColorSwatch* drawCol_ = nullptr;
    TColorSwatch* backCol_ = nullptr;
    QWidget* panel_ = nullptr;
    std::vector<TColorSwatch*> entries_;
    PaletteLayout layout_;
    std::string lastFile_; // remembered for the run
};

} // namespace kv
