// kv: the Vellumatic paint program.
#include "kvapp.h"
#include "lang_qt.h"
#include "progdir.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // Answered before the application starts, so it needs no display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kv %s\n", VM_VERSION);
        return 0;
    }
    kv::KvApplication app(argc, argv);
    kv::InstallScreenMessageBox();
    kv::ProgramContext context;
    context.ProgramDir = kv::ProgramDir();
    for (int i = 1; i < argc; ++i) context.Args.emplace_back(argv[i]);
    return kv::RunEntryPoint(std::move(context));
}
