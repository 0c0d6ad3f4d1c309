// Crash recovery: every changed image is copied on the user-interface
// thread at most once per interval and written on a worker thread, in the
// frame format through a temporary file and a rename, to the recovery
// folder. A file is named after the process and the slot ("4711-3.frm")
// and has a small text file beside it with the image's name, image number
// and file state. A slot's files go when its image is saved or its changes
// are given up, all of them when the program closes normally; files whose
// process is gone are what a crash left behind, offered at the next start.
#pragma once

#include "documents.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kv {

// A copy of a changed image that a process which is gone left behind.
struct RecoveryFile {
    std::string Path; // the .frm file
    std::string FileName;
    std::int32_t ImageNo = 1;
    std::uint8_t FileState = 1;
};

class CrashRecovery : public QObject {
  public:
    // dir with a trailing "/".
    CrashRecovery(Documents& docs, std::string dir);
    ~CrashRecovery() override;

    // Around the copy of the current image (a tool's preview is not part
    // of the picture).
    std::function<void()> BeforeCopy, AfterCopy;

    // Seconds between writes; 0 switches the writing off.
    void SetInterval(int seconds);
    // Writes every changed image whose state is not written yet and
    // removes the files of images that are no longer changed.
    void WriteNow();
    // Until the writes under way are done.
    void Wait();
    // The program closes normally: every file of this process goes.
    void RemoveAll();
    // The files of images that are no longer changed (saved, given up) go.
    void DropUnchanged();

    // Files left by processes that are gone, oldest process first.
    std::vector<RecoveryFile> Left() const;
    // Loads f into slot (pixels, name, image number, file state, changed);
    // false when the file is damaged, which then moves to "damaged/".
    bool Restore(const RecoveryFile& f, int slot);
    static void Discard(const RecoveryFile& f);
    const std::string& Dir() const { return dir_; }

  private:
    struct Copy {
        int Slot = 0;
        std::unique_ptr<pixkit::Buffer> Pixels;
        RecoveryFile Meta;
    };
    std::string Base(int slot) const;
    void Remove(int slot);
    void Write(std::vector<Copy> copies);

    Documents& docs_;
    std::string dir_;
    QTimer timer_;
    std::array<std::uint64_t, kSlotCount> written_{}; // generation on disk, 0: none
    std::thread worker_;
    std::atomic<bool> busy_{false};
};

} // namespace kv
