#include "harness.h"

#include "log.h"
#include "message.h"

#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kvtest {

namespace {

std::unique_ptr<kv::KvApplication>& AppHolder() {
    static std::unique_ptr<kv::KvApplication> app;
    return app;
}

// The application goes before the program's exit handlers run: Qt's own
// globals are gone by then.
class AppEnvironment : public ::testing::Environment {
  public:
    void TearDown() override { AppHolder().reset(); }
};
::testing::Environment* const gAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

// One application for the whole test program, created on first use after
// the environment points Qt at the offscreen platform and the XDG folders at
// a scratch directory (the user's own settings are never touched).
kv::KvApplication& App() {
    std::unique_ptr<kv::KvApplication>& app = AppHolder();
    if (!app) {
        static const std::string scratch =
            (fs::temp_directory_path() / ("kvgui_env_" + std::to_string(::getpid()))).string();
        fs::create_directories(scratch);
        fs::permissions(scratch, fs::perms::owner_all, fs::perm_options::replace);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_CONFIG_HOME", (scratch + "/config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (scratch + "/state").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", scratch.c_str(), 1);
        // The user's own components stay out of the tests.
        ::setenv("XDG_DATA_HOME", (scratch + "/data").c_str(), 1);
        fs::create_directories(scratch + "/sane");
        std::ofstream(scratch + "/sane/dll.conf").flush();
        ::setenv("SANE_CONFIG_DIR", (scratch + "/sane").c_str(), 1);
        static int argc = 1;
        static char name[] = "kv";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<kv::KvApplication>(argc, argv);
    }
    return *app;
}

} // namespace

void KvTest::SetUp() {
    App();
    root_ = fs::temp_directory_path() /
            ("kvgui_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "bin");
    programDir_ = (root_ / "bin").string() + "/";
    settingsPath_ = (root_ / "kv.conf").string();
    // Each test starts with an empty brush shelf of its own.
    ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    kv::SetMessageBoxHandler(
        [this](const std::string& text, const std::string& caption, kv::MsgFlags flags) {
            shown_.push_back({text, caption});
            if (!answers_.empty()) {
                const kv::MsgResult answer = answers_.front();
                answers_.pop_front();
                return answer;
            }
            return flags.Buttons == kv::MsgButtons::Ok ? kv::MsgResult::Ok : kv::MsgResult::No;
        });
}

void KvTest::TearDown() {
    kv::SetMessageBoxHandler({});
    kv::StopLog();
    fs::remove_all(root_);
}

void KvTest::InstallLanguage(const std::string& name) {
    fs::copy_file(fs::path(VM_BIN_DIR) / (name + ".lng"), fs::path(programDir_) / (name + ".lng"),
                  fs::copy_options::overwrite_existing);
}

void KvTest::Run(std::vector<std::string> args, std::function<void(kv::TMainForm&)> check) {
    reachedInteractive_ = false;
    kv::ProgramContext context;
    context.ProgramDir = programDir_;
    context.Args = std::move(args);
    context.SettingsPath = settingsPath_;
    context.OnInteractive = [this, check](kv::TMainForm& form) {
        reachedInteractive_ = true;
        if (check) check(form);
        QTimer::singleShot(0, &form, &QWidget::close);
    };
    // A run that hangs must not hang the test program.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(1); });
    watchdog.start(20000);
    EXPECT_EQ(kv::RunEntryPoint(std::move(context)), 0);
    EXPECT_TRUE(watchdog.isActive()) << "kv did not end by itself";
}

std::vector<std::string> KvTest::LogLines() const {
    std::vector<std::string> lines;
    std::ifstream in(programDir_ + "KV.LOG");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

} // namespace kvtest
