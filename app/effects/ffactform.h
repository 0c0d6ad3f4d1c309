// TFFactForm: the dialog of the Filter Factory. Three expression memos
// (red, green, blue) compiled on every change, each with a "!" marker that
// shows a syntax error and, clicked, selects the text from the error on;
// Title, Category, Author and Copyright; eight sliders 0..255 with their
// captions and values; the instant preview of the image scaled into
// 120 x 90; OK, Preview (Stop while a run goes on), Cancel, Load..., Save...
// and Make.... The dialog lives for the whole run of the program, so the
// definition, the captions and the folder of the files are kept between
// uses. Its texts come from the language section "[FFactForm]".
#pragma once

#include "effects/afsfile.h"
#include "effects/ffilter.h"
#include "files/filedialogs.h"

#include <pixkit/buffer.h>

#include <QWidget>

#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QToolButton;

namespace kv {

class TBuffer;

class TFFactForm : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 5000;
    static constexpr int kPreviewWidth = 120, kPreviewHeight = 90;

    explicit TFFactForm(QWidget* parent);
    ~TFFactForm() override;

    // What the buttons run, and what a change of the definition tells;
    // set by the tool.
    std::function<void()> OnOk, OnPreview, OnCancel, OnChanged, OnMake;
    // The file dialogs of Load, Save and Make (tests answer in their place).
    FileDialogs Dialogs;

    // The definition as the controls show it.
    ff::Definition Definition() const;
    // Shows d and compiles it once.
    void SetDefinition(const ff::Definition& d);
    // The compiled channels (a push of 0 for a channel with an error).
    const ff::Channels& Programs() const { return programs_; }
    ff::Sliders SliderValues() const;
    // -1 when the channel compiled, else the error's character position.
    int ErrorPos(int channel) const { return errorPos_[std::size_t(channel)]; }

    // Scales image into the instant preview and filters it.
    void SetSource(pixkit::Buffer& image);
    // Frees the preview buffers.
    void FreePreview();
    const pixkit::Buffer& PreviewSource() const { return previewSrc_; }
    const pixkit::Buffer& PreviewResult() const { return previewDst_; }

    // While a run goes on only the Preview button, reading "&Stop", works.
    void SetRunning(bool running);
    bool Running() const { return running_; }
    // The folder of the last loaded or saved file (empty at first).
    const std::string& Folder() const { return folder_; }

    QPlainTextEdit* Memo(int channel) const { return memos_[std::size_t(channel)]; }
    QToolButton* Marker(int channel) const { return markers_[std::size_t(channel)]; }
    QSlider* Slider(int index) const { return sliders_[std::size_t(index)]; }

    void LoadBtnClick();
    void SaveBtnClick();
    // Selects the memo text from the error position to the end.
    void SyntaxClick(int channel);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget* BuildMemos();
    QWidget* BuildFields();
    QWidget* BuildSliders();
    QWidget* BuildButtons();
    QWidget* BuildPreview();
    // Compiles the three channels, shows the markers, filters the preview.
    void Recompile();
    void RunPreview();
    void SliderMoved(int index, int value);
    // Cancel, or Stop during a run.
    void Stop();
    void Changed() {
        if (OnChanged) OnChanged();
    }

    std::array<QPlainTextEdit*, 3> memos_{};
    std::array<QToolButton*, 3> markers_{};
    std::array<QLineEdit*, 4> fields_{}; // Category, Title, Author, Copyright
    std::array<QSlider*, ff::kSliders> sliders_{};
    std::array<QLineEdit*, ff::kSliders> captions_{};
    std::array<QLabel*, ff::kSliders> values_{};
    std::array<QPushButton*, 6> buttons_{}; // Ok, Preview, Cancel, Load, Save, Make
    QCheckBox* instPreview_ = nullptr;
    QWidget* previewArea_ = nullptr;
    TBuffer* previewView_ = nullptr;
    pixkit::Buffer previewSrc_, previewDst_;

    std::string alpha_; // the alpha block, carried from load to save
    ff::Channels programs_;
    std::array<int, 3> errorPos_{-1, -1, -1};
    std::string folder_;
    bool running_ = false;
    bool loading_ = false; // the controls are being set: compile once at the end
};

} // namespace kv
