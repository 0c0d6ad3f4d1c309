// "Write Text": a click places a text block, typed characters appear in it
// at once with a caret, Enter draws the line into the image for good and
// starts the next one below. Font, size, styles, shadow, outline and scaling
// come from the tool's bar.
#pragma once

#include "paint/textblock.h"
#include "tools/icon.h"

#include <functional>
#include <string>

namespace kv {

class P_text : public P_icon, public TextInputTool {
  public:
    P_text();
    void Press() override;
    void Activate() override;
    void Deactivate(P_icon* next) override;
    void BarRebuilt() override;

    bool TextInputOpen() const override { return inProgress_; }
    bool TextKeyDown(QKeyEvent& key) override;
    void StyleChanged() override;
    void HideText() override;
    void ShowText() override;

    // The bar's fields, kept while the tool is not current.
    TextStyle Fields;
    std::int32_t StyleBits = 0; // bold 1, italic 2, underline 4, shadow 8, outline 16

    const TextBlock& Block() const { return block_; }

  private:
    void SetUpBar();
    void FontChanged();
    void EnableStyles();
    void ReadBar();
    void WriteBar();
    void Erase();
    void Redraw();
    // Replaces the text when it can be drawn; "NoMem" otherwise.
    bool Apply(const std::u32string& text);
    void Commit();
    void TypeCharacters(const std::u32string& typed);
    void Backspace();
    void Paste();
    void CopyText();
    // Runs work; a failure of the font machinery ends the block with a message.
    void Guarded(const std::function<void()>& work);

    TextBlock block_;
    bool inProgress_ = false;
    bool hidden_ = false;
    bool changingFont_ = false;
};

} // namespace kv
