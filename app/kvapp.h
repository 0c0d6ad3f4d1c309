// The life of the kv process: display check, log switch, creation of the
// windows, the message loop and the orderly end.
#pragma once

#include "mainform.h"

#include <QApplication>

namespace kv {

// Shows exceptions that escape an event handler with the application's
// standard message and carries on.
class KvApplication : public QApplication {
  public:
    KvApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs the program in the running application with context.Args as its
// command line; returns the process's exit code.
int RunEntryPoint(ProgramContext context);

} // namespace kv
