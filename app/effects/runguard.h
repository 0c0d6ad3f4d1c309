// While a long operation runs on the user-interface thread and processes
// input between steps, only its dialog takes input: mouse, key, wheel and
// shortcut input for every other window is dropped, so that nothing can
// switch the image or the tool under the running operation. A request to
// close the main window stops the run and closes the window once the run
// is over.
#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>

class QWidget;

namespace kv {

class EffectHost;

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

// Runs band(top, bottom) over rows first..last in bands of bandRows (more
// for fast bands, see NextBandRows) on the user-interface thread, with the
// busy cursor and the progress display.
// Between bands, at most every pollMs of clock, input is processed with a
// RunGuard on dialog, so that its Stop button (or closing the main window)
// can set stop. False when stop ended the run early.
struct BandRun {
    EffectHost& Host;
    QWidget* Dialog;
    const std::function<std::int64_t()>& Clock;
    int BandRows;
    std::int64_t PollMs;
};
bool RunInBands(const BandRun& run, int first, int last, bool& stop,
                const std::function<void(int top, int bottom)>& band);

} // namespace kv
