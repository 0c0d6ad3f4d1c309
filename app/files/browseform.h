// The image browser: a scrolling grid of a folder's sub-folders and image
// files as thumbnails, four to a row. A worker thread (Thumbnailer) makes
// the thumbnails of the visible rows, with the folder's cache when the
// preferences ask for one; the window only places what it receives, so it
// stays responsive while large files decode. A folder click enters the
// folder, a file click picks the file and closes.
#pragma once

#include <pixkit/buffer.h>

#include <QDialog>

#include <functional>
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
struct ImageTable;
struct ScanResult;
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
    int Component = -1; // effect mode: the component's index in the scan
};
std::vector<BrowseItem> ListFolder(const std::string& folder);

class TBrowseForm : public QDialog {
    Q_OBJECT

  public:
    // Image mode: the images and sub-folders of folder.
    TBrowseForm(QWidget* parent, const std::string& folder, bool cacheThumbs);
    // Effect mode: the components of the scan's folder `group`, each shown
    // applied with its preset values to a reduced copy of image, with
    // images as their image table (none: the reduced copy alone). The
    // table's pictures must stay unchanged while the window is open.
    TBrowseForm(QWidget* parent, const ScanResult& comps, int group, const pixkit::Buffer& image,
                const ImageTable* images = nullptr);
    ~TBrowseForm() override;

    // The picked file's full path; empty when the window closed without one.
    const std::string& Picked() const { return picked_; }
    // Effect mode: the picked component's index in the scan, -1 for none.
    int PickedComponent() const { return pickedComponent_; }
    // Effect mode: the folder shown, and the picture the components ran on.
    int Group() const { return group_; }
    const pixkit::Buffer& EffectPicture() const { return picture_; }
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
    // A placed item: its picture, its caption and the pixels shown.
    struct Slot {
        TBuffer* Picture = nullptr;
        QLabel* Caption = nullptr;
        pixkit::Buffer Thumb;
        ~Slot();
    };

    void BuildWindow();
    std::function<void(std::shared_ptr<Thumb>)> Delivery();
    void ShowItems();
    void BuildPlaces();
    void EnterGroup(int group);
    void EffectComboBoxChange(int index);
    void PlaceEffect(Thumb& thumb);
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
    bool cacheThumbs_ = false;
    // Effect mode.
    const ScanResult* comps_ = nullptr; // null in image mode
    std::vector<int> groups_;           // the effect combo's folders
    int group_ = -1;
    int pickedComponent_ = -1;
    pixkit::Buffer picture_;
    std::shared_ptr<const ImageTable> table_;
    QComboBox* effects_ = nullptr;
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
