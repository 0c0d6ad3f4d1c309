#include "openplus.h"

#include "files/imageio.h"
#include "keys.h"
#include "lang.h"
#include "lang_qt.h"
#include "view/tbuffer.h"

#include <pixkit/gfxfile.h>

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QSpinBox>
#include <QThreadPool>
#include <QVBoxLayout>

#include <algorithm>
#include <ctime>
#include <memory>
#include <sys/stat.h>

namespace kv {

namespace {

// Kept for the run: the next open dialog starts as the last one was left.
bool gShowPreview = true;

QLabel* NamedLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// "Date: 12/31/2026 23:59" in local time.
std::string DateText(std::time_t t) {
    std::tm local{};
    char text[32] = {};
    if (localtime_r(&t, &local) == nullptr ||
        std::strftime(text, sizeof text, "%m/%d/%Y %H:%M", &local) == 0)
        return Translate(key::Date) + ": ";
    return Translate(key::Date) + ": " + text;
}

// Decodes image index of name and scales it into a preview; empty when the
// file gives no image. Runs on the worker thread: shows and reports nothing.
void DecodePreview(const std::string& name, int index, pixkit::Buffer& preview) {
    pixkit::QuietProgress quiet;
    pixkit::Buffer image;
    pixkit::GFXtra32 extra{0, 0, 0, 0xFFFFFF, index};
    if (!LoadImageFile(image, name, extra, LoadReport::Quiet)) return;
    const pixkit::Pair<int> size = PreviewSize(image.Width(), image.Height());
    preview.Alloc(size);
    if (!preview.Empty()) preview.Scale(image, size, {0, 0}, pixkit::NoKey, 0);
}

} // namespace

pixkit::Pair<int> PreviewSize(int w, int h) {
    return PreviewSize(w, h, kPreviewWidth, kPreviewHeight);
}

pixkit::Pair<int> PreviewSize(int w, int h, int maxW, int maxH) {
    if (w < 1 || h < 1) return {1, 1};
    const double s = std::min(double(maxW) / w, double(maxH) / h);
    return {std::max(1, static_cast<int>(w * s)), std::max(1, static_cast<int>(h * s))};
}

TOpenPlus::TOpenPlus(QWidget* parent) : QWidget(parent) {
    setObjectName("OpenPlus");
    picSize_ = NamedLabel(this, "PicSize");
    picColor_ = NamedLabel(this, "PicColor");
    picBPP_ = NamedLabel(this, "PicBPP");
    picBPC_ = NamedLabel(this, "PicBPC");
    picBytes_ = NamedLabel(this, "PicBytes");
    picMod_ = NamedLabel(this, "PicMod");
    imgNumLab_ = NamedLabel(this, "ImgNumLab");
    imgNumUD_ = new QSpinBox(this);
    imgNumUD_->setObjectName("ImgNumUD");
    imgNumUD_->setRange(1, 1);
    showPreview_ = new QCheckBox(QStringLiteral("Show Preview"), this);
    showPreview_->setObjectName("ShowPreview");
    showPreview_->setChecked(gShowPreview);
    box_ = new QWidget(this);
    box_->setObjectName("PreviewBox");
    box_->setFixedSize(kPreviewWidth, kPreviewHeight);
    previewBuf_ = new TBuffer(box_);
    previewBuf_->setObjectName("PreviewBuf");
    previewBuf_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 0, 0);
    layout->addWidget(showPreview_);
    layout->addWidget(box_);
    for (QLabel* l : {picSize_, picColor_, picBPP_, picBPC_, picBytes_, picMod_})
        layout->addWidget(l);
    auto* index = new QHBoxLayout;
    index->addWidget(imgNumLab_);
    index->addWidget(imgNumUD_);
    index->addStretch();
    layout->addLayout(index);
    layout->addStretch();
    imgNumLab_->hide();
    imgNumUD_->hide();

    connect(showPreview_, &QCheckBox::toggled, this, [this] { ShowPreviewClick(); });
    connect(imgNumUD_, &QSpinBox::valueChanged, this, [this](int v) {
        if (v == index_) return;
        index_ = std::clamp(v, 1, std::max(1, count_));
        DescribeImage();
    });
    if (Lang() != nullptr) TranslateSection(*Lang(), "[OpenPlus]");
}

void TOpenPlus::LoadPreview(const QString& name) {
    selected_ = name.toStdString();
    if (selected_ != described_) Describe(selected_);
}

void TOpenPlus::ShowPreviewClick() {
    gShowPreview = showPreview_->isChecked();
    if (!gShowPreview) {
        ++generation_;
        HidePreview();
        return;
    }
    described_.clear();
    Describe(selected_);
}

void TOpenPlus::DecImgIndex() {
    imgNumUD_->stepDown();
}

void TOpenPlus::IncImgIndex() {
    imgNumUD_->stepUp();
}

int TOpenPlus::ImageNoFor(const std::string& name) const {
    return name == described_ && count_ > 1 ? index_ : 1;
}

void TOpenPlus::Describe(const std::string& name) {
    described_ = name;
    imgNumLab_->hide();
    imgNumUD_->hide();
    struct stat st {};
    count_ = 0;
    try {
        if (!name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            count_ = pixkit::GFXFile::GetImgCount(name);
    } catch (const std::exception&) {
        count_ = 0; // unreadable: described as unknown
    }
    if (count_ <= 0) {
        count_ = 0;
        ClearDescription();
        return;
    }
    picBytes_->setText(Q(Translate(key::SizeInB) + ": " + std::to_string(st.st_size)));
    picMod_->setText(Q(DateText(st.st_mtime)));
    index_ = 1;
    {
        const QSignalBlocker block(imgNumUD_);
        imgNumUD_->setRange(1, count_);
        imgNumUD_->setValue(1);
    }
    if (count_ > 1) {
        imgNumLab_->show();
        imgNumUD_->show();
    }
    DescribeImage();
}

void TOpenPlus::ShowIndex() {
    imgNumLab_->setText(Q(Translate(key::Image) + " " + std::to_string(index_)));
}

void TOpenPlus::DescribeImage() {
    ShowIndex();
    ++generation_;
    HidePreview();
    pixkit::GFXFileDesc d;
    d.Image = index_;
    bool known = false;
    try {
        known = pixkit::GFXFile::Test(described_, &d);
    } catch (const std::exception&) {
        known = false;
    }
    if (!known) {
        for (QLabel* l : {picSize_, picColor_, picBPP_, picBPC_}) l->clear();
        return;
    }
    std::string colour = Translate(d.Color ? "Color" : "Grayscale") + " " + Translate(key::Image);
    if (d.WithPal) colour += " " + Translate(key::WithPal);
    picColor_->setText(Q(colour));
    picSize_->setText(Q(Translate(key::Size) + ": " + std::to_string(d.Width) + "x" +
                        std::to_string(d.Height) + " " + Translate(key::Pixels)));
    picBPP_->setText(Q(Translate(key::BPP) + ": " + std::to_string(d.BPP)));
    picBPC_->setText(Q(Translate(key::BPCC) + ": " + std::to_string(d.BPCC)));
    if (gShowPreview) Start({described_, index_, generation_});
}

void TOpenPlus::ClearDescription() {
    ++generation_;
    for (QLabel* l : {picSize_, picColor_, picBPP_, picBPC_, picBytes_, picMod_}) l->clear();
    HidePreview();
}

void TOpenPlus::HidePreview() {
    previewLoaded_ = false;
    previewBuf_->hide();
    previewBuf_->SetBuffer(nullptr);
    preview_.Free();
}

void TOpenPlus::Start(const Job& job) {
    if (busy_) {
        pending_ = job;
        return;
    }
    busy_ = true;
    // The decode runs in the application's thread pool, which the program
    // waits for when it ends; a dialog closed meanwhile does not wait, and
    // the result then finds no panel and is dropped.
    QPointer<TOpenPlus> panel(this);
    QThreadPool::globalInstance()->start([panel, job] {
        auto result = std::make_shared<pixkit::Buffer>();
        try {
            DecodePreview(job.Name, job.Index, *result);
        } catch (const std::exception&) {
            result->Free(); // no preview; the description stays
        }
        QMetaObject::invokeMethod(
            qApp,
            [panel, job, result] {
                if (panel) panel->Finished(job, *result);
            },
            Qt::QueuedConnection);
    });
}

void TOpenPlus::Finished(const Job& job, pixkit::Buffer& preview) {
    busy_ = false;
    if (pending_) {
        const Job next = *pending_;
        pending_.reset();
        if (next.Generation == generation_) Start(next);
    }
    if (job.Generation != generation_ || preview.Empty()) return;
    preview_ = preview;
    const int w = preview_.Width(), h = preview_.Height();
    previewBuf_->setGeometry((kPreviewWidth - w) / 2, (kPreviewHeight - h) / 2, w, h);
    previewBuf_->SetBuffer(&preview_);
    previewBuf_->show();
    previewLoaded_ = true;
}

} // namespace kv
