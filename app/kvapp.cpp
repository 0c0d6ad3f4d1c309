#include "kvapp.h"

#include "log.h"
#include "message.h"
#include "platform/mimelinks.h"
#include "progdir.h"

#include <QIcon>
#include <QScreen>

#include <exception>
#include <memory>

namespace kv {

namespace {

void ShowException(const std::exception& e) {
    ShowMessage(e.what(), "Vellumatic", {MsgButtons::Ok, MsgIcon::Error});
}

} // namespace

KvApplication::KvApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool KvApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e);
    }
    return false;
}

int RunEntryPoint(ProgramContext context) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr && screen->depth() <= 14) {
        ShowMessage("First switch to HiColor or True Color display mode", "Vellumatic",
                    {MsgButtons::Ok, MsgIcon::Exclamation});
        return 0;
    }
    StopLog();
    if (IsLogSwitch(context.Args)) StartLog(LogDir(context.ProgramDir) + "KV.LOG");
    QApplication::setApplicationName("Vellumatic");
    QApplication::setApplicationVersion(VM_VERSION);
    // The desktop matches windows to the installed entry and its icon by this id.
    QGuiApplication::setDesktopFileName(kDesktopId);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vellumatic.svg")));
    std::unique_ptr<TMainForm> form;
    try {
        form = std::make_unique<TMainForm>(std::move(context));
        form->InitToolbars();
        form->show();
        // Keys belong to the image, not to the first field of a tool bar:
        // keypad + and - zoom from the first moment.
        form->setFocus();
        QApplication::exec();
    } catch (const std::exception& e) {
        ShowException(e);
    }
    form.reset();
    LogLine("Application closed.");
    return 0;
}

} // namespace kv
