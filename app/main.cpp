// kv: the Vellumatic paint program.
#include "kvapp.h"
#include "lang_qt.h"
#include "progdir.h"

int main(int argc, char** argv) {
    kv::KvApplication app(argc, argv);
    kv::InstallScreenMessageBox();
    kv::ProgramContext context;
    context.ProgramDir = kv::ProgramDir();
    for (int i = 1; i < argc; ++i) context.Args.emplace_back(argv[i]);
    return kv::RunEntryPoint(std::move(context));
}
