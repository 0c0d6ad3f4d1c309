// The browser's effect mode: the components of one folder of the Effects
// menu, each run on the worker thread with its preset values on a reduced
// copy of the current image (in a runner of its own, so a component that
// crashes or hangs costs only its thumbnail). A click picks the component.
#include "browseform.h"

#include "effects/compform.h"
#include "effects/component.h"
#include "files/thumbnailer.h"
#include "keys.h"
#include "lang.h"
#include "log.h"
#include "view/tbuffer.h"

#include <QComboBox>

namespace kv {

namespace {

// The help on effects.
constexpr int kEffectsHelpContext = 1320;

} // namespace

TBrowseForm::TBrowseForm(QWidget* parent, const ScanResult& comps, int group,
                         const pixkit::Buffer& image, const ImageTable* images)
    : QDialog(parent), comps_(&comps) {
    if (images != nullptr) table_ = std::make_shared<const ImageTable>(*images);
    BuildWindow();
    setProperty("HelpContext", kEffectsHelpContext);
    if (!image.Empty()) {
        const pixkit::Pair<int> size = ThumbSize(image.Width(), image.Height());
        picture_.Alloc(size);
        if (!picture_.Empty())
            picture_.Scale(const_cast<pixkit::Buffer&>(image), size, {0, 0}, pixkit::NoKey,
                           kThumbScaleMode);
    }
    drives_->hide();
    effects_->show();
    // The folders that have a sub-menu: those holding components.
    for (int f = 0; f < static_cast<int>(comps.Folders.size()); ++f)
        for (const ComponentRecord& rec : comps.Components)
            if (rec.Folder == f) {
                groups_.push_back(f);
                effects_->addItem(ComponentText(comps.Folders[static_cast<std::size_t>(f)]));
                break;
            }
    EnterGroup(group);
    viewport_->installEventFilter(this);
}

void TBrowseForm::EnterGroup(int group) {
    StopWorker();
    slots_.clear();
    group_ = group;
    items_.clear();
    // Each component runs with its preset values, on a copy of its record
    // the worker owns.
    std::vector<ComponentRecord> records;
    std::vector<ThumbJob> jobs;
    for (std::size_t i = 0; i < comps_->Components.size(); ++i) {
        const ComponentRecord& rec = comps_->Components[i];
        if (rec.Folder != group) continue;
        items_.push_back({rec.Desc.Name, true, static_cast<int>(i)});
        records.push_back(rec);
        records.back().Values = rec.Desc.Defaults;
        jobs.push_back({rec.Desc.Name, false});
    }
    const auto at = std::find(groups_.begin(), groups_.end(), group);
    if (at != groups_.end()) effects_->setCurrentIndex(static_cast<int>(at - groups_.begin()));
    const QString name = group >= 0 && group < static_cast<int>(comps_->Folders.size())
                             ? ComponentText(comps_->Folders[static_cast<std::size_t>(group)])
                             : QString();
    setWindowTitle(QString::fromStdString(Translate(key::EffBr)) + " - " + name);
    const pixkit::Buffer* picture = &picture_;
    auto render = [records = std::move(records), picture,
                   table = table_](Thumb& out, const std::atomic<bool>& stop) {
        const ComponentRecord& rec = records[static_cast<std::size_t>(out.Index)];
        if (!RunComponentOnPicture(rec, *picture, out.Picture, out.Error, &stop, table.get()))
            return;
        out.Result = ThumbResult::Made;
        out.ImageSize = {picture->Width(), picture->Height()};
    };
    worker_ = std::make_unique<Thumbnailer>(std::move(jobs), std::move(render), Delivery());
    ShowItems();
}

void TBrowseForm::EffectComboBoxChange(int index) {
    if (index >= 0 && index < static_cast<int>(groups_.size()))
        EnterGroup(groups_[static_cast<std::size_t>(index)]);
}

// A component's thumbnail, or a placeholder and a log line when it failed.
void TBrowseForm::PlaceEffect(Thumb& thumb) {
    const BrowseItem& item = items_[static_cast<std::size_t>(thumb.Index)];
    if (thumb.Result == ThumbResult::Failed)
        LogLine("Component " + comps_->Components[static_cast<std::size_t>(item.Component)].File +
                " failed on a thumbnail: " + thumb.Error);
    Slot& slot = NewSlot(thumb.Index, thumb.Picture, ComponentText(item.Name).toStdString());
    slot.Picture->setToolTip(ComponentText(item.Name));
    ShowProgress();
}

} // namespace kv
