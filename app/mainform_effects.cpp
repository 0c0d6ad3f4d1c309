// The main window's side of the effects: what the effect tools see of it,
// Image > Custom Filter and Image > Filter Factory.
#include "mainform.h"

#include "effects/customfilter.h"
#include "effects/effecthost.h"
#include "effects/fffilter.h"
#include "history.h"
#include "tools/framework.h"
#include "undo.h"
#include "view/tbuffer.h"

#include <QAction>

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

    // The Filter Factory lives as long as the window's effects.
    P_FF_filter FilterFactory{*this};

  private:
    TMainForm& form_;
};

} // namespace

void TMainForm::ConnectEffects() {
    effectHost_ = std::make_unique<FormEffectHost>(*this);
    customFilter_ = std::make_unique<P_custom_filter>(*effectHost_);
    // The drawing view moved or changed size: the next Preview computes.
    for (auto signal : {&TMainForm::VisibleAreaChanged, &TMainForm::ClippingChanged})
        connect(this, signal, this, [this] { customFilter_->InvalidatePreview(); });
    QAction* command = MenuCommand("CustomFilter1");
    command->setEnabled(true);
    connect(command, &QAction::triggered, this,
            [this] { tools_->SelectTool(customFilter_.get(), true, -1); });
    QAction* factory = MenuCommand("FilterFactory1");
    factory->setEnabled(true);
    auto* host = static_cast<FormEffectHost*>(effectHost_.get());
    connect(factory, &QAction::triggered, this,
            [this, host] { tools_->SelectTool(&host->FilterFactory, true, -1); });
}

} // namespace kv
