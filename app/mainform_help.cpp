// Help: the manual window, F1 and Help > Contents.
#include "mainform.h"

#include "keys.h"
#include "lang.h"
#include "platform/helpwindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>

namespace kv {

namespace {

// F1 without modifiers, in any window of the program (modal dialogs
// included, which shortcuts of the main window do not reach).
class HelpKeyFilter : public QObject {
  public:
    explicit HelpKeyFilter(TMainForm* form) : QObject(form), form_(form) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr) return false;
        form_->ShowHelp(form_->HelpContextOf(widget));
        return true;
    }

  private:
    TMainForm* form_;
};

} // namespace

void TMainForm::InstallHelpKey() {
    qApp->installEventFilter(new HelpKeyFilter(this));
}

// The nearest window or widget with a "HelpContext" property; the main
// window's context is that of the current tool.
int TMainForm::HelpContextOf(const QWidget* widget) const {
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        const QVariant context = w->property("HelpContext");
        if (context.isValid()) return context.toInt();
        if (w == this) break;
    }
    return tools_ ? tools_->HelpContext : kHelpMain;
}

// While a window with a help page of its own is active (a component's
// dialog: its "HelpPage" property, a full path with an optional anchor),
// help shows that page, with the manual behind it for its links; any other
// window gives the manual at the context.
void TMainForm::ShowHelp(int context) {
    if (help_ == nullptr) help_ = new THelpWindow(this);
    std::string helpFile = Translate(key::HelpFile);
    if (helpFile == key::HelpFile) helpFile.clear();
    std::vector<std::string> folders = ManualFolders(context_.ProgramDir, helpFile);
    const QWidget* active = QApplication::activeWindow();
    const QString page =
        active != nullptr && active != help_ ? active->property("HelpPage").toString() : QString();
    if (page.isEmpty()) {
        help_->SetFolders(std::move(folders));
        help_->ShowContext(context);
        return;
    }
    const QFileInfo file(page.section('#', 0, 0));
    folders.insert(folders.begin(), file.absolutePath().toStdString() + "/");
    help_->SetFolders(std::move(folders));
    const QString anchor = page.section('#', 1);
    help_->ShowTopic(file.fileName() + (anchor.isEmpty() ? QString() : "#" + anchor));
}

} // namespace kv
