#include "browseform.h"

#include "files/thumbcache.h"
#include "files/thumbnailer.h"
#include "keys.h"
#include "lang.h"
#include "lang_qt.h"
#include "resources.h"
#include "view/tbuffer.h"

#include <pixkit/gfxfile.h>

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace kv {

TBrowseForm::Slot::~Slot() {
    delete Picture;
    delete Caption;
}

namespace {

constexpr int kVisibleRows = 3;

// Qt's raster painting splits a fill of 96 rows or more across its thread
// pool and waits for the pool: on a busy machine the window then stalls
// until those threads get a core. The scroll bar, the one tall thing the
// browser repaints as it scrolls, is therefore drawn by its style in bands
// of fewer rows (as the scroll bar draws itself, with the part under the
// pointer or pressed lit), each into an image on this thread.
class BandedScrollBar : public QScrollBar {
  public:
    using QScrollBar::QScrollBar;

  protected:
    void paintEvent(QPaintEvent* event) override {
        constexpr int kBandRows = 64;
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        opt.subControls = QStyle::SC_All;
        if (pressed_ != QStyle::SC_None) {
            opt.activeSubControls = pressed_;
            opt.state |= QStyle::State_Sunken;
        } else if (underMouse()) {
            opt.activeSubControls = style()->hitTestComplexControl(
                QStyle::CC_ScrollBar, &opt, mapFromGlobal(QCursor::pos()), this);
        }
        // Each band is drawn into an image of its own size: the style sets
        // clips of its own, the image's edges hold.
        const QRect all = event->rect();
        const qreal ratio = devicePixelRatioF();
        QPainter p(this);
        for (int y = all.top(); y <= all.bottom(); y += kBandRows) {
            const QSize size(all.width(), std::min(kBandRows, all.bottom() + 1 - y));
            if (band_.size() != (QSizeF(size) * ratio).toSize()) {
                band_ =
                    QImage((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
                band_.setDevicePixelRatio(ratio);
            }
            band_.fill(Qt::transparent);
            {
                QPainter q(&band_);
                q.translate(-all.left(), -y);
                style()->drawComplexControl(QStyle::CC_ScrollBar, &opt, &q, this);
            }
            p.drawImage(QPoint(all.left(), y), band_);
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        pressed_ = style()->hitTestComplexControl(QStyle::CC_ScrollBar, &opt,
                                                  event->position().toPoint(), this);
        QScrollBar::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        pressed_ = QStyle::SC_None;
        QScrollBar::mouseReleaseEvent(event);
        update();
    }

  private:
    QStyle::SubControl pressed_ = QStyle::SC_None;
    QImage band_;
};

bool LessIgnoringCase(const BrowseItem& a, const BrowseItem& b) {
    const std::string la = LowerAscii(a.Name), lb = LowerAscii(b.Name);
    return la != lb ? la < lb : a.Name < b.Name;
}

// A 32 x 28 glyph over the window's background as pixels.
void GlyphBuffer(const char* name, QColor background, pixkit::Buffer& b) {
    QImage image(32, 28, QImage::Format_RGB32);
    image.fill(background);
    {
        QPainter p(&image);
        p.drawPixmap(QRect(0, 0, 32, 28), Glyph(name));
    }
    b.Alloc({32, 28});
    for (int y = 0; y < 28 && !b.Empty(); ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < 32; ++x) *b.At(x, y) = pixkit::Pixel(s[x]) & 0xFFFFFF;
    }
}

// What a file that gives no image shows: a crossed-out frame.
void Placeholder(pixkit::Buffer& b) {
    b.Alloc({kThumbWidth, kThumbHeight});
    if (b.Empty()) return;
    b.Box(b.Area, 0xE0E0E0);
    b.Rectangle(b.Area, 0x808080);
    b.Line({0, 0}, {kThumbWidth - 1, kThumbHeight - 1}, 0xB0B0B0);
    b.Line({kThumbWidth - 1, 0}, {0, kThumbHeight - 1}, 0xB0B0B0);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.size() > 1 && folder.back() != '/' ? folder + "/" + name : folder + name;
}

// "/", the home folder and every mounted device's folder.
std::vector<std::string> Places() {
    std::vector<std::string> places{"/"};
    const std::string home = QDir::homePath().toStdString();
    if (home != "/") places.push_back(home);
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device, folder;
        fields >> device >> folder;
        if (device.rfind("/dev/", 0) != 0 || folder == "/" ||
            std::find(places.begin(), places.end(), folder) != places.end())
            continue;
        places.push_back(folder);
    }
    return places;
}

} // namespace

std::vector<BrowseItem> ListFolder(const std::string& folder) {
    std::vector<BrowseItem> folders, files;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name.empty() || name[0] == '.') continue;
            struct stat st {};
            if (::stat(Join(folder, name).c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode))
                folders.push_back({name, false});
            else if (S_ISREG(st.st_mode) && pixkit::GFXFile::GetDefaultFormat(name) != nullptr)
                files.push_back({name, true});
        }
        ::closedir(dir);
    }
    std::sort(folders.begin(), folders.end(), LessIgnoringCase);
    std::sort(files.begin(), files.end(), LessIgnoringCase);
    std::vector<BrowseItem> items;
    if (folder != "/") items.push_back({"..", false});
    items.insert(items.end(), folders.begin(), folders.end());
    items.insert(items.end(), files.begin(), files.end());
    return items;
}

TBrowseForm::TBrowseForm(QWidget* parent, const std::string& folder, bool cacheThumbs)
    : QDialog(parent), cacheThumbs_(cacheThumbs) {
    BuildWindow();
    Enter(folder);
    viewport_->installEventFilter(this);
}

void TBrowseForm::BuildWindow() {
    setObjectName("BrowseForm");
    drives_ = new QComboBox(this);
    drives_->setObjectName("DriveComboBox");
    drives_->setToolTip(QStringLiteral("Current Drive"));
    effects_ = new QComboBox(this);
    effects_->setObjectName("EffectComboBox");
    effects_->setToolTip(QStringLiteral("Current Effect Group"));
    effects_->hide();
    progress_ = new QLabel(this);
    progress_->setObjectName("ProgressLab");
    // A fixed size: a new count then repaints the label without laying out
    // the window again.
    progress_->setFixedSize(
        progress_->fontMetrics().horizontalAdvance(QStringLiteral("00000 / 00000")),
        progress_->sizeHint().height());
    progress_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    viewport_ = new QWidget(this);
    viewport_->setObjectName("Viewport");
    viewport_->setMinimumSize(kBrowseColumns * kBrowseColumnPitch, kBrowseRowPitch);
    viewport_->resize(kBrowseColumns * kBrowseColumnPitch, kVisibleRows * kBrowseRowPitch);
    panel_ = new QWidget(viewport_);
    panel_->setObjectName("Panel");
    scroll_ = new BandedScrollBar(Qt::Vertical, this);
    scroll_->setObjectName("ScrollBar1");
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName("CloseBtn");

    auto* top = new QHBoxLayout;
    top->addWidget(drives_, 1);
    top->addWidget(effects_, 1);
    top->addWidget(progress_);
    auto* middle = new QHBoxLayout;
    middle->addWidget(viewport_, 1);
    middle->addWidget(scroll_);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);
    resize(kBrowseColumns * kBrowseColumnPitch + 40, kVisibleRows * kBrowseRowPitch + 90);

    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(scroll_, &QScrollBar::valueChanged, this, &TBrowseForm::ScrollBar1Scroll);
    connect(drives_, &QComboBox::activated, this, &TBrowseForm::DriveComboBoxChange);
    connect(effects_, &QComboBox::activated, this, &TBrowseForm::EffectComboBoxChange);
    if (Lang() != nullptr) TranslateSection(*Lang(), "[BrowseForm]");
    const QColor background = palette().color(QPalette::Window);
    GlyphBuffer("FOLDER", background, folderGlyph_);
    GlyphBuffer("PARENTF", background, parentGlyph_);
}

TBrowseForm::~TBrowseForm() {
    StopWorker();
}

void TBrowseForm::StopWorker() {
    worker_.reset(); // waits for the file being worked on, then closes the cache
}

void TBrowseForm::done(int result) {
    StopWorker();
    QDialog::done(result);
}

void TBrowseForm::BuildPlaces() {
    const QSignalBlocker block(drives_);
    drives_->clear();
    std::size_t best = 0;
    int bestIndex = 0;
    for (const std::string& place : Places()) {
        drives_->addItem(QString::fromStdString(place));
        const bool under = folder_ == place || place == "/" || folder_.rfind(place + "/", 0) == 0;
        if (under && place.size() >= best) {
            best = place.size();
            bestIndex = drives_->count() - 1;
        }
    }
    drives_->setCurrentIndex(bestIndex);
}

void TBrowseForm::Enter(const std::string& folder) {
    StopWorker();
    slots_.clear();
    std::error_code ec;
    std::filesystem::path full = std::filesystem::weakly_canonical(
        std::filesystem::absolute(folder.empty() ? "." : folder, ec), ec);
    if (ec || !std::filesystem::is_directory(full, ec)) full = QDir::homePath().toStdString();
    folder_ = full.string();
    while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
    items_ = ListFolder(folder_);
    setWindowTitle(QString::fromStdString(Translate(key::ImgBr) + " - " + folder_));
    BuildPlaces();

    // Names that are equal once lower-cased would share a cache entry.
    std::map<std::string, int> lowered;
    for (const BrowseItem& item : items_)
        if (item.IsFile) ++lowered[LowerAscii(item.Name)];
    std::vector<ThumbJob> jobs;
    for (const BrowseItem& item : items_)
        jobs.push_back({item.IsFile ? item.Name : std::string(),
                        item.IsFile && lowered[LowerAscii(item.Name)] == 1});
    worker_ = std::make_unique<Thumbnailer>(folder_, std::move(jobs), cacheThumbs_, Delivery());
    ShowItems();
}

// The worker's thumbnails reach the window as queued calls; those of a
// folder or group left meanwhile are dropped.
Thumbnailer::Deliver TBrowseForm::Delivery() {
    const int generation = ++generation_;
    return [this, generation](std::shared_ptr<Thumb> thumb) {
        QMetaObject::invokeMethod(
            this,
            [this, thumb, generation] {
                if (generation == generation_) Place(thumb);
            },
            Qt::QueuedConnection);
    };
}

// A new list: the panel's size and the top of the list.
void TBrowseForm::ShowItems() {
    const int rows = (static_cast<int>(items_.size()) + kBrowseColumns - 1) / kBrowseColumns;
    panel_->setGeometry(0, 0, kBrowseColumns * kBrowseColumnPitch, rows * kBrowseRowPitch);
    first_ = 0, last_ = -1;
    const QSignalBlocker block(scroll_);
    scroll_->setValue(0);
    UpdateRange();
}

// The scroll bar moves in steps of 4 pixels.
void TBrowseForm::ScrollBar1Scroll(int position) {
    panel_->move(0, -position * 4);
    UpdateRange();
}

void TBrowseForm::UpdateRange() {
    const int visible = viewport_->height();
    scroll_->setRange(0, std::max(0, (panel_->height() - visible) / 4));
    scroll_->setPageStep(std::max(1, visible / 4));
    scroll_->setSingleStep(kBrowseRowPitch / 4 / 3);
    const int top = scroll_->value() * 4;
    const int count = static_cast<int>(items_.size());
    first_ = top / kBrowseRowPitch * kBrowseColumns;
    last_ = std::min(count - 1, (top + visible - 9) / kBrowseRowPitch * kBrowseColumns + 3);
    DropOutside();
    PlaceFolders();
    if (worker_) worker_->SetRange(first_, last_);
    ShowProgress();
}

void TBrowseForm::DropOutside() {
    for (auto it = slots_.begin(); it != slots_.end();) {
        if (it->first >= first_ && it->first <= last_) {
            ++it;
            continue;
        }
        if (worker_) worker_->Forget(it->first);
        it = slots_.erase(it);
    }
}

TBrowseForm::Slot& TBrowseForm::NewSlot(int index, pixkit::Buffer& picture,
                                        const std::string& caption) {
    auto slot = std::make_unique<Slot>();
    slot->Thumb = picture; // takes the pixels over
    const int w = slot->Thumb.Width(), h = slot->Thumb.Height();
    const int x = index % kBrowseColumns * kBrowseColumnPitch + 4;
    const int y = index / kBrowseColumns * kBrowseRowPitch + 4;
    slot->Picture = new TBuffer(panel_);
    slot->Picture->setObjectName(QStringLiteral("Thumb%1").arg(index));
    slot->Picture->setGeometry(x + (kThumbWidth - w) / 2, y + (kThumbHeight - h) / 2, w, h);
    slot->Picture->SetBuffer(&slot->Thumb);
    slot->Picture->setCursor(Qt::PointingHandCursor);
    slot->Picture->OnMouseDown = [this, index](QMouseEvent*) {
        // Handled after the press: a folder click replaces this control.
        QMetaObject::invokeMethod(
            this, [this, index] { ItemClick(index); }, Qt::QueuedConnection);
    };
    slot->Caption = new QLabel(QString::fromStdString(caption), panel_);
    slot->Caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    slot->Caption->setGeometry(x - 8, y + 96, kBrowseColumnPitch - 4, 18);
    slot->Picture->show();
    slot->Caption->show();
    Slot& placed = *slot;
    slots_[index] = std::move(slot);
    return placed;
}

// Folders need no decoding: the window places them itself.
void TBrowseForm::PlaceFolders() {
    for (int i = std::max(0, first_); i <= last_; ++i) {
        const BrowseItem& item = items_[std::size_t(i)];
        if (item.IsFile || slots_.count(i) != 0) continue;
        pixkit::Buffer& glyph = item.Name == ".." ? parentGlyph_ : folderGlyph_;
        const pixkit::Pair<int> size{
            std::max(1, static_cast<int>(glyph.Width() * kFolderGlyphScale)),
            std::max(1, static_cast<int>(glyph.Height() * kFolderGlyphScale))};
        pixkit::Buffer picture;
        picture.Alloc(size);
        if (!picture.Empty()) picture.Scale(glyph, size, {0, 0}, pixkit::NoKey, 0);
        NewSlot(i, picture, QString::fromStdString(item.Name).toUpper().toStdString());
    }
}

void TBrowseForm::Place(const std::shared_ptr<Thumb>& thumb) {
    const int i = thumb->Index;
    if (i < first_ || i > last_ || slots_.count(i) != 0) {
        if (worker_ && slots_.count(i) == 0) worker_->Forget(i);
        return;
    }
    const BrowseItem& item = items_[std::size_t(i)];
    const bool failed = thumb->Result == ThumbResult::Failed;
    if (failed) Placeholder(thumb->Picture);
    if (item.Component >= 0) {
        PlaceEffect(*thumb);
        return;
    }
    Slot& slot = NewSlot(i, thumb->Picture, LowerAscii(item.Name));
    const std::string kbytes =
        std::to_string((thumb->Bytes + 1023) / 1024) + " " + Translate(key::KBytes);
    const std::string hint = failed ? kbytes
                                    : std::to_string(thumb->ImageSize.x) + " x " +
                                          std::to_string(thumb->ImageSize.y) + " " +
                                          Translate(key::Pixels) + "\n" + kbytes;
    slot.Picture->setToolTip(QString::fromStdString(hint));
    ShowProgress();
}

void TBrowseForm::ItemClick(int index) {
    if (index < 0 || std::size_t(index) >= items_.size()) return;
    const BrowseItem& item = items_[std::size_t(index)];
    if (item.Component >= 0) {
        pickedComponent_ = item.Component;
        accept();
        return;
    }
    const std::string path = Join(folder_, item.Name);
    if (item.IsFile) {
        picked_ = path;
        accept();
        return;
    }
    Enter(std::filesystem::path(path).lexically_normal().string());
}

void TBrowseForm::DriveComboBoxChange(int index) {
    Enter(drives_->itemText(index).toStdString());
}

int TBrowseForm::VisibleFiles() const {
    int n = 0;
    for (int i = std::max(0, first_); i <= last_; ++i) n += items_[std::size_t(i)].IsFile;
    return n;
}

int TBrowseForm::PlacedFiles() const {
    int n = 0;
    for (const auto& [i, slot] : slots_) n += items_[std::size_t(i)].IsFile;
    return n;
}

void TBrowseForm::ShowProgress() {
    const int total = VisibleFiles();
    progress_->setText(total == 0 ? QString()
                                  : QStringLiteral("%1 / %2").arg(PlacedFiles()).arg(total));
}

TBuffer* TBrowseForm::PictureOf(int index) const {
    const auto it = slots_.find(index);
    return it == slots_.end() ? nullptr : it->second->Picture;
}

void TBrowseForm::wheelEvent(QWheelEvent* event) {
    const QPoint pixels = event->pixelDelta();
    const int dy =
        !pixels.isNull() ? pixels.y() : event->angleDelta().y() * kBrowseRowPitch / 2 / 120;
    scroll_->setValue(scroll_->value() - dy / 4);
    event->accept();
}

// A taller window shows more rows.
bool TBrowseForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport_ && event->type() == QEvent::Resize) UpdateRange();
    return QDialog::eventFilter(watched, event);
}

} // namespace kv
