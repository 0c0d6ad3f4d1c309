#include "recovery.h"

#include <pixkit/gfxfile.h>
#include <pixkit/stream.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kv {

namespace {

// The process is still running (or belongs to another user); one that
// ended but was not reaped yet ("Z" in its stat line) is gone.
bool Alive(long pid) {
    if (pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno != EPERM)) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t paren = line.rfind(')');
    return paren == std::string::npos || paren + 2 >= line.size() || line[paren + 2] != 'Z';
}

std::string Sidecar(const std::string& frm) {
    return frm.substr(0, frm.size() - 4) + ".txt";
}

// Writes text to name through a temporary file and a rename.
void WriteAtomically(const std::string& name, const std::string& text) {
    const std::string temp = name + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return;
    }
    std::error_code ec;
    fs::rename(temp, name, ec);
}

// "4711-3.frm" gives the process 4711; -1 for any other name.
long ProcessOf(const fs::path& file) {
    if (file.extension() != ".frm") return -1;
    const std::string stem = file.stem().string();
    const std::size_t dash = stem.find('-');
    if (dash == 0 || dash == std::string::npos) return -1;
    try {
        return std::stol(stem.substr(0, dash));
    } catch (const std::exception&) {
        return -1;
    }
}

} // namespace

CrashRecovery::CrashRecovery(Documents& docs, std::string dir) : docs_(docs), dir_(std::move(dir)) {
    connect(&timer_, &QTimer::timeout, this, [this] { WriteNow(); });
}

CrashRecovery::~CrashRecovery() {
    Wait();
}

void CrashRecovery::SetInterval(int seconds) {
    if (seconds <= 0) {
        timer_.stop();
        return;
    }
    timer_.start(seconds * 1000);
}

std::string CrashRecovery::Base(int slot) const {
    return dir_ + std::to_string(::getpid()) + "-" + std::to_string(slot);
}

void CrashRecovery::Wait() {
    if (worker_.joinable()) worker_.join();
}

void CrashRecovery::Remove(int slot) {
    Wait();
    std::error_code ec;
    fs::remove(Base(slot) + ".frm", ec);
    fs::remove(Base(slot) + ".txt", ec);
    written_[std::size_t(slot)] = 0;
}

void CrashRecovery::DropUnchanged() {
    for (int i = 0; i < kSlotCount; ++i)
        if (written_[std::size_t(i)] != 0 && docs_.Slots[std::size_t(i)].Changed == 0) Remove(i);
}

void CrashRecovery::RemoveAll() {
    for (int i = 0; i < kSlotCount; ++i) Remove(i);
}

void CrashRecovery::WriteNow() {
    // Writes still under way: the next tick tries again.
    if (busy_) return;
    Wait();
    DropUnchanged();
    std::vector<Copy> copies;
    for (int i = 0; i < kSlotCount; ++i) {
        UDBuffer& s = docs_.Slots[std::size_t(i)];
        if (s.Changed == 0 || s.Empty() || written_[std::size_t(i)] == s.Changed.Generation())
            continue;
        Copy c{i,
               std::make_unique<pixkit::Buffer>(),
               {Base(i) + ".frm", s.FileName, s.ImageNo, s.FileState}};
        c.Pixels->Alloc({s.Width(), s.Height()});
        if (c.Pixels->Empty()) continue; // no memory now; the next tick tries again
        const bool current = i == docs_.Current;
        if (current && BeforeCopy) BeforeCopy();
        c.Pixels->Copy(s, {-s.Area.Left, -s.Area.Top}, pixkit::NoKey);
        if (current && AfterCopy) AfterCopy();
        written_[std::size_t(i)] = s.Changed.Generation();
        copies.push_back(std::move(c));
    }
    if (copies.empty()) return;
    busy_ = true;
    worker_ = std::thread([this, copies = std::move(copies)]() mutable {
        Write(std::move(copies));
        busy_ = false;
    });
}

// On the worker thread: the text file first, then the pixels, each through
// a temporary file and a rename, so a file that is there is complete.
void CrashRecovery::Write(std::vector<Copy> copies) {
    pixkit::QuietProgress quiet;
    std::error_code ec;
    fs::create_directories(dir_, ec);
    for (Copy& c : copies) {
        WriteAtomically(Sidecar(c.Meta.Path), c.Meta.FileName + "\n" +
                                                  std::to_string(c.Meta.ImageNo) + "\n" +
                                                  std::to_string(c.Meta.FileState) + "\n");
        // The frame format's own writer, without the registry's progress
        // display, which belongs to the user-interface thread.
        pixkit::GFXFile* frame = pixkit::GFXFile::GetDefaultFormat(c.Meta.Path);
        const std::string temp = c.Meta.Path + ".part";
        pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
        try {
            pixkit::TFileStream out(temp, pixkit::TFileStream::Mode::Create);
            frame->Save(*c.Pixels, &out, &extra, nullptr);
            out.Close();
            fs::rename(temp, c.Meta.Path);
        } catch (const std::exception&) {
            // A full disk or a folder that cannot be written: the image is
            // still in memory, and its next change tries again.
            fs::remove(temp, ec);
        }
    }
}

std::vector<RecoveryFile> CrashRecovery::Left() const {
    std::vector<std::pair<long, RecoveryFile>> found;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(dir_, ec)) {
        const long pid = ProcessOf(e.path());
        if (pid < 0 || pid == ::getpid() || Alive(pid)) continue;
        RecoveryFile f;
        f.Path = e.path().string();
        std::ifstream in(Sidecar(f.Path));
        std::string imageNo, state;
        if (std::getline(in, f.FileName) && std::getline(in, imageNo) && std::getline(in, state)) {
            f.ImageNo = std::max(1, std::atoi(imageNo.c_str()));
            f.FileState = std::uint8_t(std::atoi(state.c_str()) != 0);
        }
        found.emplace_back(pid, f);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.Path < b.second.Path;
    });
    std::vector<RecoveryFile> files;
    for (auto& [pid, f] : found) files.push_back(std::move(f));
    return files;
}

bool CrashRecovery::Restore(const RecoveryFile& f, int slot) {
    pixkit::Buffer scratch;
    pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
    try {
        pixkit::QuietProgress quiet;
        pixkit::GFXFile::Load(scratch, f.Path, &extra);
    } catch (const std::exception&) {
        scratch.Free();
    }
    if (scratch.Empty()) {
        // Kept aside for the user to look at, never offered again.
        std::error_code ec;
        fs::create_directories(dir_ + "damaged", ec);
        for (const std::string& name : {f.Path, Sidecar(f.Path)})
            fs::rename(name, dir_ + "damaged/" + fs::path(name).filename().string(), ec);
        return false;
    }
    UDBuffer& s = docs_.Slots[std::size_t(slot)];
    static_cast<pixkit::Buffer&>(s) = scratch;
    s.FileName = f.FileName;
    s.ImageNo = f.ImageNo;
    s.FileState = f.FileState;
    s.Changed = 1; // what the file on disk holds is older
    Discard(f);
    return true;
}

void CrashRecovery::Discard(const RecoveryFile& f) {
    std::error_code ec;
    fs::remove(f.Path, ec);
    fs::remove(Sidecar(f.Path), ec);
}

} // namespace kv
