// The panel of the open dialog that describes the selected file (size,
// colours, bits, bytes, date), previews it and picks the image of a
// multi-image file. The description comes from the file's header at once;
// the preview is decoded in a worker thread, so a large or damaged file
// never holds up the dialog, and only the latest selection's preview shows.
#pragma once

#include <pixkit/buffer.h>

#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QSpinBox;

namespace kv {

class TBuffer;

inline constexpr int kPreviewWidth = 240;
inline constexpr int kPreviewHeight = 180;

// The preview size of a w x h image: scaled by min(240 / w, 180 / h), each
// side truncated and at least 1.
pixkit::Pair<int> PreviewSize(int w, int h);
// The same for a preview of at most maxW x maxH.
pixkit::Pair<int> PreviewSize(int w, int h, int maxW, int maxH);

class TOpenPlus : public QWidget {
    Q_OBJECT

  public:
    explicit TOpenPlus(QWidget* parent = nullptr);

    // The dialog's selection changed to name (a file or a folder).
    void LoadPreview(const QString& name);
    void ShowPreviewClick();
    void DecImgIndex();
    void IncImgIndex();

    // The image the open command is to read when name is confirmed: the
    // chosen one when name is the file described, else the first.
    int ImageNoFor(const std::string& name) const;
    int ImageCount() const { return count_; }
    bool PreviewLoaded() const { return previewLoaded_; }
    // True while a preview is being decoded.
    bool PreviewPending() const { return busy_; }
    const pixkit::Buffer& Preview() const { return preview_; }

  private:
    struct Job {
        std::string Name;
        int Index = 1;
        std::uint64_t Generation = 0;
    };

    void Describe(const std::string& name);
    void DescribeImage();
    void ClearDescription();
    void HidePreview();
    void ShowIndex();
    void Start(const Job& job);
    void Finished(const Job& job, pixkit::Buffer& preview);

    QLabel* picSize_;
    QLabel* picColor_;
    QLabel* picBPP_;
    QLabel* picBPC_;
    QLabel* picBytes_;
    QLabel* picMod_;
    QLabel* imgNumLab_;
    QSpinBox* imgNumUD_;
    QCheckBox* showPreview_;
    QWidget* box_;
    TBuffer* previewBuf_;

    std::string selected_;  // the dialog's current selection
    std::string described_; // the file name last described
    int index_ = 1;
    int count_ = 0;
    bool previewLoaded_ = false;
    pixkit::Buffer preview_;

    // One decode at a time; a newer request waits in pending_ and replaces
    // any older one waiting there. Results of an older generation are dropped.
    bool busy_ = false;
    std::optional<Job> pending_;
    std::uint64_t generation_ = 0;
};

} // namespace kv
