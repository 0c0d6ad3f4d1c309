// Crash recovery: a kv process killed with SIGKILL after a change leaves a
// copy that the next start offers and restores with identical pixels; a
// damaged copy is reported and set aside. The killed process is this test
// program started again for the child test only.
#include "harness.h"

#include "prefs/prefsdialog.h"
#include "recovery.h"

#include <QProcess>
#include <QSpinBox>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr char kChildState[] = "KV_TEST_RECOVERY_STATE";
constexpr char kPicture[] = "/pictures/holiday.bmp";

// The child's picture; the parent paints the same to compare.
void PaintPattern(pixkit::Buffer& image) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            *image.At(x, y) = pixkit::Pixel((x * 7919 + y * 104729) & 0xFFFFFF);
}

using RecoveryGui = kvtest::KvTest;

// Disabled: it runs only in the child process the next test starts.
TEST_F(RecoveryGui, DISABLED_ChildPaintsAndWaitsToBeKilled) {
    const char* state = std::getenv(kChildState);
    if (state == nullptr) GTEST_SKIP() << "runs only as the child of the recovery test";
    ::setenv("XDG_STATE_HOME", state, 1);
    Run({}, [](kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        PaintPattern(image);
        image.FileName = kPicture;
        image.FileState = 0;
        ++image.Changed;
        auto dialog = form.CreatePreferencesDialog();
        dialog->RecoverySeconds()->setValue(1);
        form.ApplyPreferences(*dialog, true);
        // The parent kills this process once the copy is there.
        for (int i = 0; i < 300; ++i) QTest::qWait(100);
    });
}

TEST_F(RecoveryGui, RestoresWhatAKilledProcessLeftAndSetsADamagedCopyAside) {
    const fs::path state = root_ / "state";
    const fs::path dir = state / "vellumatic" / "recovery";
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildState, QString::fromStdString(state.string()));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.start(QString::fromStdString(fs::read_symlink("/proc/self/exe").string()),
                {"--gtest_also_run_disabled_tests",
                 "--gtest_filter=RecoveryGui.DISABLED_ChildPaintsAndWaitsToBeKilled"});
    ASSERT_TRUE(child.waitForStarted());
    const auto pid = child.processId();
    const fs::path copy = dir / (std::to_string(pid) + "-0.frm");
    for (int i = 0; i < 300 && !fs::exists(copy); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(pid_t(pid), SIGKILL);
    child.waitForFinished();
    ASSERT_TRUE(fs::exists(copy)) << "the child wrote no recovery copy";

    // A copy that does not decode, from the same dead process.
    const fs::path damaged = dir / (std::to_string(pid) + "-5.frm");
    std::ofstream(damaged, std::ios::binary) << "not a frame file";

    const char* oldState = std::getenv("XDG_STATE_HOME");
    const std::string restoreState = oldState != nullptr ? oldState : "";
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    answers_ = {kv::MsgResult::Yes};
    Run({}, [&](kv::TMainForm& form) {
        ASSERT_GE(shown_.size(), 2u);
        EXPECT_EQ(shown_[0].Text, "RecoverAsk");
        EXPECT_NE(shown_[1].Text.find(damaged.string()), std::string::npos);
        kv::UDBuffer& image = form.Docs().Slots[0];
        EXPECT_EQ(image.FileName, kPicture);
        EXPECT_EQ(image.FileState, 0);
        EXPECT_NE(image.Changed, 0) << "restored work is unsaved work";
        pixkit::Buffer expected;
        expected.Alloc({image.Width(), image.Height()});
        PaintPattern(expected);
        bool same = true;
        for (int y = 0; y < image.Height() && same; ++y)
            same = std::equal(image.At(0, y), image.At(0, y) + image.Width(), expected.At(0, y));
        EXPECT_TRUE(same) << "restored pixels differ";
        EXPECT_FALSE(fs::exists(copy)) << "a restored copy is not offered again";
        EXPECT_TRUE(fs::exists(dir / "damaged" / damaged.filename()));
        image.Changed = 0;
    });
    ::setenv("XDG_STATE_HOME", restoreState.c_str(), 1);
}

} // namespace
