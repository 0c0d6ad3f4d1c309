// While a long operation runs on the user-interface thread and processes
// input between steps, only its dialog takes input: mouse, key, wheel and
// shortcut input for every other window is dropped, so that nothing can
// switch the image or the tool under the running operation. A request to
// close the main window stops the run and closes the window once the run
// is over.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace kv {

class RunGuard : public QObject {
  public:
    RunGuard(QWidget* dialog, QWidget* mainWindow, std::function<void()> stop);
    ~RunGuard() override;
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool InDialog(QObject* watched) const;

    QPointer<QWidget> dialog_;
    QPointer<QWidget> main_;
    std::function<void()> stop_;
    bool closeLater_ = false;
};

} // namespace kv
