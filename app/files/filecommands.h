// The commands of the File menu: new, open, save, save as, recent files,
// the unsaved-changes question and the walk over all slots at exit, update
// mode's write-back, the clipboard and the scanner. They work on the
// documents of the main window; what they need from other parts of the
// program (undo snapshot, view, colours) comes through the hooks.
#pragma once

#include "documents.h"
#include "files/filedialogs.h"
#include "files/recentfiles.h"
#include "platform/scanner.h"
#include "preferences.h"

#include <pixkit/types.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace kv {

class TMainForm;
class BrushState;

struct FileHooks {
    // Before a command changes the current image; false (the user was
    // told) stops the command with the image unchanged.
    std::function<bool()> TakeSnapshot;
    // The user gave up the changes of the current image.
    std::function<void()> DiscardSnapshot;
    // After the current image's pixels were replaced.
    std::function<void()> ImageReplaced;
    // A document's name or state changed (the document label shows it).
    std::function<void()> LabelChanged;
    // Makes slot (0-based) the current image, as the Window menu does.
    std::function<void(int slot)> SelectImage;
    // Drawing and background colour (0xRRGGBB), and setting both.
    std::function<std::pair<pixkit::Pixel, pixkit::Pixel>()> Colors;
    std::function<void(pixkit::Pixel draw, pixkit::Pixel back)> SetColors;
    // A text for the status bar.
    std::function<void(const std::string&)> ShowStatus;
    // The recent-files list changed.
    std::function<void()> RecentChanged;
    // Around a change of the brush: before (the tool hides its feedback)
    // and after a brush file became the brush.
    std::function<void()> BrushChanging;
    std::function<void()> BrushLoaded;
    // Around reading the current image for a file or the clipboard: the
    // tool's feedback (preview stamp, rubber bands) lives in the image and
    // is taken out first, then drawn again.
    std::function<void()> HideFeedback;
    std::function<void()> ShowFeedback;
};

// Keeps the tool's feedback out of the current image while it is read
// (saving, the clipboard, printing).
class FeedbackHidden {
  public:
    FeedbackHidden(const FileHooks& hooks, bool active) : hooks_(active ? &hooks : nullptr) {
        if (hooks_ != nullptr && hooks_->HideFeedback) hooks_->HideFeedback();
    }
    ~FeedbackHidden() {
        if (hooks_ != nullptr && hooks_->ShowFeedback) hooks_->ShowFeedback();
    }
    FeedbackHidden(const FeedbackHidden&) = delete;
    FeedbackHidden& operator=(const FeedbackHidden&) = delete;

  private:
    const FileHooks* hooks_;
};

class FileCommands {
  public:
    FileCommands(Documents& docs, const Preferences& prefs, SettingsStore& store);
    ~FileCommands();

    FileHooks Hooks;
    FileDialogs Dialogs;

    // Start-up: the recent-files list from the store with the length the
    // preferences give, and the size "&New..." offers first.
    void Start(pixkit::Pair<int> newSize);
    RecentFiles& Recent() { return recent_; }
    pixkit::Pair<int> NewSize() const { return newSize_; }
    const std::string& LastDirectory() const { return lastDir_; }
    void SetLastDirectory(std::string folder) { lastDir_ = std::move(folder); }
    int OpenFilterIndex() const { return openIndex_; }

    // Update mode: the file "&Update && Exit" writes slot 1 to.
    std::string UpdateTarget;

    // The commands. Each returns true when it did its work.
    bool New();
    bool Open();
    bool Reopen(const std::string& entry);
    // Opens image 1 of name into the current slot, as picked in the browser.
    bool OpenFile(const std::string& name);
    bool Save();
    bool SaveAs();
    bool ExportToClipboard();
    bool ImportFromClipboard();
    bool SelectSource();
    bool Acquire();
    // Writes slot 1 back to the update target.
    bool WriteBack();
    // Brush > Open and Save (brushfiles.cpp): a file becomes the user
    // brush; the brush is written with its handle and transparent colour.
    bool OpenBrush(BrushState& brush);
    bool SaveBrush(BrushState& brush);

    // Loads image imageNo of name into slot (0-based); the slot keeps its
    // content when that fails. The file-open operation of the command line.
    bool LoadIntoSlot(int slot, const std::string& name, int imageNo);
    // The unsaved-changes question for a slot: true when the command may go on.
    bool AskUnsaved(int slot);
    // Exit: in update mode the write-back question for slot 1, then the
    // question for every changed slot in turn. False keeps the program
    // running, with the slot whose question was cancelled current.
    bool CloseQuery();

    Scanner& Scan() { return *scanner_; }

  private:
    UDBuffer& Slot(int i) { return docs_.Slots[static_cast<std::size_t>(i)]; }
    bool SaveSlot(int slot);
    bool SaveSlotAs(int slot);
    bool SaveSlotTo(int slot, const std::string& name);
    // Puts fresh pixels into the current slot as an unnamed, changed image.
    bool ReplaceCurrent(pixkit::Buffer& image, std::int32_t changed);
    bool Snapshot() { return !Hooks.TakeSnapshot || Hooks.TakeSnapshot(); }
    void AddRecent(const std::string& name, int imageNo);
    void Call(const std::function<void()>& hook) {
        if (hook) hook();
    }
    std::pair<pixkit::Pixel, pixkit::Pixel> CurrentColors() const;

    Documents& docs_;
    const Preferences& prefs_;
    SettingsStore& store_;
    RecentFiles recent_;
    std::unique_ptr<Scanner> scanner_;
    std::string lastDir_;
    int openIndex_ = 0; // 0: none chosen yet, the "All" entry is shown
    pixkit::Pair<int> newSize_{1, 1};
};

} // namespace kv
