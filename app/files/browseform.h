// The image browser: a scrolling grid of a folder's sub-folders and image
// files as thumbnails, four to a row. A worker thread (Thumbnailer) makes
// the thumbnails of the visible rows, with the folder's cache when the
// preferences ask for one; the window only places what it receives, so it
// stays responsive while large files decode. A folder click enters the
// folder, a file click picks the file and closes.
#pragma once

#include <pixkit/buffer.h>

#include <QDialog>

#include <map>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QScrollBar;

namespace kv {

class TBuffer;
class Thumbnailer;
struct Thumb;

// Grid geometry: columns, pitches and the thumbnail box.
inline constexpr int kBrowseColumns = 4;
inline constexpr int kBrowseColumnPitch = 140;
inline constexpr int kBrowseRowPitch = 120;
// Folder glyphs (32 x 28) are enlarged by this factor to 102 x 89.
inline constexpr double kFolderGlyphScale = 3.2142856;

// The items of folder as the browser lists them: ".." first (not at "/"),
// the sub-folders, then the files whose name a format claims; each group
// sorted by name ignoring case. Entries are taken after following links;
// only folders and regular files count, and hidden ones (".name") are left
// out. isFile tells the two kinds apart.
struct BrowseItem {
    std::string Name;
    bool IsFile = false;
};
std::vector<BrowseItem> ListFolder(const std::string& folder);

class TBrowseForm : public QDialog {
    Q_OBJECT

  public:
    TBrowseForm(QWidget* parent, const std::string& folder, bool cacheThumbs);
    ~TBrowseForm() override;

    // The picked file's full path; empty when the window closed without one.
    const std::string& Picked() const { return picked_; }
    // The folder shown (absolute); the caller remembers it.
    const std::string& Folder() const { return folder_; }

    const std::vector<BrowseItem>& Items() const { return items_; }
    // The first and last index of the visible items (last < first: none).
    std::pair<int, int> VisibleRange() const { return {first_, last_}; }
    // The picture control of item index while it is placed, else null.
    TBuffer* PictureOf(int index) const;
    // Visible files whose thumbnail is placed, and visible files.
    int PlacedFiles() const;
    int VisibleFiles() const;
    // Enters folder as a folder click does.
    void Enter(const std::string& folder);

  protected:
    void done(int result) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Slot;

    void BuildPlaces();
    void ScrollBar1Scroll(int position);
    void UpdateRange();
    void DropOutside();
    void PlaceFolders();
    void Place(const std::shared_ptr<Thumb>& thumb);
    Slot& NewSlot(int index, pixkit::Buffer& picture, const std::string& caption);
    void ItemClick(int index);
    void DriveComboBoxChange(int index);
    void ShowProgress();
    void StopWorker();

    std::string folder_;
    std::string picked_;
    bool cacheThumbs_;
    std::vector<BrowseItem> items_;
    QComboBox* drives_;
    QLabel* progress_;
    QWidget* viewport_;
    QWidget* panel_;
    QScrollBar* scroll_;
    pixkit::Buffer folderGlyph_, parentGlyph_;
    std::map<int, std::unique_ptr<Slot>> slots_;
    std::unique_ptr<Thumbnailer> worker_;
    int first_ = 0, last_ = -1;
    // Counts the folders entered: thumbnails of a folder left are dropped.
    int generation_ = 0;
};

} // namespace kv
