// Driving the modal thumbnail browser from a test.
#pragma once

#include "files/browseform.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

namespace kvtest {

// Runs fn on the browser once it is up; fn closes it or picks an item.
inline void WhenBrowserShows(std::function<void(kv::TBrowseForm&)> fn) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [fn, poll] {
        if (auto* b = qobject_cast<kv::TBrowseForm*>(QApplication::activeModalWidget())) {
            fn(*b);
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

// Waits (at most about 10 s) until every visible item has its thumbnail.
inline bool WaitPlaced(kv::TBrowseForm& b) {
    for (int i = 0; i < 2000; ++i) {
        QApplication::processEvents();
        if (b.PlacedFiles() == b.VisibleFiles()) return true;
        QThread::msleep(5);
    }
    return false;
}

} // namespace kvtest
