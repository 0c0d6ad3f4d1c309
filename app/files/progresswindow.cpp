#include "progresswindow.h"

#include "keys.h"
#include "lang.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

namespace kv {

bool RunWithProgressWindow(QWidget* parent, const std::function<void(const ProgressStep&)>& work) {
    std::atomic<bool> cancelled{false};
    std::atomic<int> percent{0};
    std::exception_ptr error;

    // Qt's own catalogue translates the Cancel button.
    QProgressDialog window(parent);
    window.setObjectName("ProgressWindow");
    window.setLabelText(QString::fromStdString(Translate(key::Processing)));
    window.setWindowModality(Qt::WindowModal);
    window.setRange(0, 100);
    window.setMinimumDuration(0);
    window.setAutoClose(false);
    window.setAutoReset(false);
    QObject::connect(&window, &QProgressDialog::canceled, [&cancelled] { cancelled = true; });

    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.wasCanceled())
            cancelled = true;
        else
            window.setValue(percent);
    });

    QEventLoop loop;
    std::thread worker([&] {
        try {
            work([&](int p) {
                percent = std::clamp(p, 0, 100);
                return !cancelled.load();
            });
        } catch (...) {
            error = std::current_exception();
        }
        // Queued: delivered by the loop even when the work ends before it runs.
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    window.show();
    poll.start();
    loop.exec();
    worker.join();
    window.hide();
    if (cancelled) return false;
    if (error) std::rethrow_exception(error);
    return true;
}

} // namespace kv
