// The main window's side of the effects: what the effect tools see of it,
// Image > Custom Filter and Image > Filter Factory.
#include "mainform.h"

#include "effects/components.h"
#include "effects/customfilter.h"
#include "effects/effecthost.h"
#include "effects/fffilter.h"
#include "effects/ffmakecmd.h"
#include "files/browseform.h"
#include "history.h"
#include "tools/builtin.h"
#include "tools/framework.h"
#include "tools/hotkeys.h"
#include "undo.h"
#include "view/tbuffer.h"

#include <QAction>
#include <QMenu>

namespace kv {

namespace {

class FormEffectHost : public EffectHost {
  public:
    explicit FormEffectHost(TMainForm& form) : form_(form) {}
    QWidget* Window() override { return &form_; }
    QWidget* ImageArea() override { return form_.centralWidget(); }
    UDBuffer& Image() override { return form_.Docs().CurrentImage(); }
    const pixkit::Buffer& Snapshot() override { return form_.Undo().Snapshot(); }
    bool TakeSnapshot() override { return form_.TakeSnapshot(); }
    void CancelToSnapshot() override { form_.CancelToSnapshot(); }
    pixkit::Rect DrawingRect() override { return form_.DrawingView().Area; }
    void ProgressStart(int max) override { form_.ProgressStart(max); }
    void ProgressStep(int position) override { form_.ProgressStep(position); }
    void ProgressEnd() override { form_.ProgressEnd(); }
    // Effects change the whole image: the history compares all of it.
    void RepaintView() override {
        form_.History().MarkAllDirty();
        form_.ShowBuf()->update();
    }
    void ReturnToPreviousTool() override { form_.ToolFw().ReturnToPreviousTool(true); }
    Documents& Docs() override { return form_.Docs(); }
    std::uint32_t DrawColor() override { return form_.DrawColor(); }
    std::uint32_t BackColor() override { return form_.BackColor(); }
    int UserLevel() override { return form_.Prefs().Level; }
    void SetStatus(const QString& text) override { form_.SetPanelText(4, text); }
    void ImageResized() override {
        form_.RefreshView();
        RepaintView();
    }
    void InvalidateImage(pixkit::Rect r) override {
        form_.InvalidateImageRect(r.Left, r.Top, r.Right + 1, r.Bottom + 1);
    }
    void PickColor(TColorSwatch* swatch, const QString& title) override {
        form_.ShowColorDialogFor(swatch, title);
    }
    bool HotKey(QKeyEvent& event) override { return form_.HotKeys().KeyDown(event); }
    void ShowInView(pixkit::Buffer* picture) override {
        form_.ShowBuf()->SetBuffer(picture != nullptr ? picture : &form_.Docs().CurrentImage());
        form_.ShowBuf()->update();
    }

    // The Filter Factory lives as long as the window's effects.
    P_FF_filter FilterFactory{*this};

  private:
    TMainForm& form_;
};

// Effects > folder > Browse: the effect browser, modal and centred over the
// image area, made from the image without the tool's feedback; a component
// picked there becomes the current tool. An effect whose dialog is open
// gives way first (its preview is not the image) and comes back when the
// browser closes without a choice.
void BrowseEffects(TMainForm& form, ComponentTools& comps, int folder,
                   const std::function<void(int)>& choose) {
    ToolFramework& tools = form.ToolFw();
    int reopen = -1;
    if (tools.Current == &comps.Effect) {
        reopen = comps.Effect.Current();
        tools.ReturnToPreviousTool(true);
    }
    tools.HideForReading();
    // The components see the open images as they would when applied.
    ImageTable images;
    const Documents& docs = form.Docs();
    for (std::size_t i = 0; i < images.Slots.size(); ++i) images.Slots[i] = &docs.Slots[i];
    images.Current = docs.Current + 1;
    TBrowseForm box(&form, comps.Comps, folder, form.Docs().CurrentImage(), &images);
    QWidget* area = form.centralWidget() != nullptr ? form.centralWidget() : &form;
    box.move(area->mapToGlobal(area->rect().center()) - box.rect().center());
    box.exec();
    tools.ShowAfterReading();
    const int picked = box.PickedComponent() >= 0 ? box.PickedComponent() : reopen;
    if (picked >= 0) choose(picked);
}

} // namespace

void TMainForm::ConnectEffects() {
    effectHost_ = std::make_unique<FormEffectHost>(*this);
    customFilter_ = std::make_unique<P_custom_filter>(*effectHost_);
    // The drawing view moved or changed size: the next Preview computes.
    for (auto signal : {&TMainForm::VisibleAreaChanged, &TMainForm::ClippingChanged})
        connect(this, signal, this, [this] { customFilter_->InvalidatePreview(); });
    components_ = std::make_unique<ComponentTools>(*effectHost_);
    connect(this, &TMainForm::ColorsChanged, this, [this] {
        if (tools_ && tools_->Current == &components_->Effect) components_->Effect.ColorsChanged();
        if (tools_ && tools_->Current == &components_->Brush) components_->Brush.ColorsChanged();
    });
    for (auto signal : {&TMainForm::VisibleAreaChanged, &TMainForm::ClippingChanged})
        connect(this, signal, this, [this] { components_->Effect.InvalidateRun(); });
    QAction* command = MenuCommand("CustomFilter1");
    command->setEnabled(true);
    connect(command, &QAction::triggered, this,
            [this] { tools_->SelectTool(customFilter_.get(), true, -1); });
    QAction* factory = MenuCommand("FilterFactory1");
    factory->setEnabled(true);
    auto* host = static_cast<FormEffectHost*>(effectHost_.get());
    connect(factory, &QAction::triggered, this,
            [this, host] { tools_->SelectTool(&host->FilterFactory, true, -1); });
    host->FilterFactory.Make = [this](TFFactForm& form) {
        MakeFromFactory(form, *components_, context_.ProgramDir);
    };
}

// The scan, the component icon and the Effects menu; one message lists the
// components that could not be used.
void TMainForm::InitComponents() {
    components_->Scan(ComponentRoots(context_.ProgramDir));
    if (!components_->RegisterIcons(*tools_)) RegisterEmptyIcon(*tools_);
    const std::function<void(int)> choose = [this](int index) {
        components_->Effect.Choose(index);
        tools_->SelectTool(&components_->Effect, true, -1);
    };
    components_->BuildMenu(findChild<QMenu*>("Effects1"), choose, [this, choose](int folder) {
        BrowseEffects(*this, *components_, folder, choose);
    });
    components_->ReportProblems();
}

} // namespace kv
