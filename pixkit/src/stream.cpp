// Streams over files and memory.
#include <pixkit/stream.h>

#include "huge_pages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pixkit {

namespace {

std::int64_t Resolve(std::int64_t offset, SeekOrigin origin, std::int64_t pos, std::int64_t size) {
    switch (origin) {
    case SeekOrigin::Begin:
        return offset;
    case SeekOrigin::Current:
        return pos + offset;
    case SeekOrigin::End:
        return size + offset;
    }
    return pos;
}

} // namespace

std::int64_t TStream::Size() {
    const std::int64_t pos = Position();
    const std::int64_t size = Seek(0, SeekOrigin::End);
    Seek(pos, SeekOrigin::Begin);
    return size;
}

void TStream::ReadBuffer(void* buffer, std::int64_t n) {
    auto* p = static_cast<std::uint8_t*>(buffer);
    while (n > 0) {
        const std::int64_t got = Read(p, n);
        if (got <= 0) throw EReadError();
        p += got;
        n -= got;
    }
}

void TStream::WriteBuffer(const void* buffer, std::int64_t n) {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    while (n > 0) {
        const std::int64_t put = Write(p, n);
        if (put <= 0) throw EWriteError();
        p += put;
        n -= put;
    }
}

TFileStream::TFileStream(const std::string& name, Mode mode) : name_(name) {
    if (mode == Mode::OpenRead) {
        fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0)
            throw EFOpenError("Cannot open file \"" + name + "\". " + std::strerror(errno));
        struct stat st {};
        if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd_);
            fd_ = -1;
            throw EFOpenError("Cannot open file \"" + name + "\". " + std::strerror(EISDIR));
        }
    } else {
        fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            throw EFCreateError("Cannot create file \"" + name + "\". " + std::strerror(errno));
    }
}

TFileStream::TFileStream(int fd, const std::string& name) : fd_(fd), name_(name) {}

TFileStream::~TFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

void TFileStream::Close() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    if (::close(fd) != 0 || !synced) throw EWriteError();
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t n) {
    if (fd_ < 0 || n <= 0) return 0;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, static_cast<std::size_t>(n));
        if (got >= 0) return got;
        if (errno != EINTR) throw EReadError();
    }
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t n) {
    if (fd_ < 0 || n <= 0) return 0;
    for (;;) {
        const ssize_t put = ::write(fd_, buffer, static_cast<std::size_t>(n));
        if (put >= 0) return put;
        if (errno != EINTR) throw EWriteError();
    }
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                       : origin == SeekOrigin::Current ? SEEK_CUR
                                                       : SEEK_END;
    const off_t r = ::lseek(fd_, offset, whence);
    if (r < 0) throw EStreamError("Stream seek error");
    return r;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t n) {
    const std::int64_t size = static_cast<std::int64_t>(data_.size());
    if (n <= 0 || pos_ >= size) return 0;
    const std::int64_t k = std::min(n, size - pos_);
    std::memcpy(buffer, data_.data() + pos_, static_cast<std::size_t>(k));
    pos_ += k;
    return k;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t n) {
    if (n <= 0) return 0;
    if (pos_ + n > static_cast<std::int64_t>(data_.size())) {
        if (data_.capacity() < static_cast<std::size_t>(pos_ + n)) {
            // Doubling keeps the copies of a growing stream to about its size.
            std::vector<std::uint8_t> grown;
            grown.reserve(
                std::max<std::size_t>(static_cast<std::size_t>(pos_ + n), 2 * data_.capacity()));
            AdviseHugePages(grown.data(), grown.capacity());
            grown.assign(data_.begin(), data_.end());
            data_.swap(grown);
        }
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        if (pos_ == static_cast<std::int64_t>(data_.size())) {
            // Appending copies once, without clearing the new room first.
            data_.insert(data_.end(), bytes, bytes + n);
            pos_ += n;
            return n;
        }
        data_.resize(static_cast<std::size_t>(pos_ + n));
    }
    std::memcpy(data_.data() + pos_, buffer, static_cast<std::size_t>(n));
    pos_ += n;
    return n;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const std::int64_t p = Resolve(offset, origin, pos_, static_cast<std::int64_t>(data_.size()));
    if (p < 0) throw EStreamError("Stream seek error");
    pos_ = p;
    return pos_;
}

void TMemoryStream::SetSize(std::int64_t n) {
    data_.resize(static_cast<std::size_t>(std::max<std::int64_t>(n, 0)));
    pos_ = std::min(pos_, static_cast<std::int64_t>(data_.size()));
}

void TMemoryStream::Clear() {
    data_.clear();
    pos_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& name) {
    TFileStream f(name, TFileStream::Mode::OpenRead);
    const std::int64_t size = f.Size();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    f.ReadBuffer(bytes.data(), size);
    data_ = std::move(bytes);
    pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& name) {
    TFileStream f(name, TFileStream::Mode::Create);
    f.WriteBuffer(data_.data(), static_cast<std::int64_t>(data_.size()));
    f.Close();
}

std::int64_t TFixedMemoryStream::Read(void* buffer, std::int64_t n) {
    if (n <= 0 || pos_ >= size_) return 0;
    const std::int64_t k = std::min(n, size_ - pos_);
    std::memcpy(buffer, data_ + pos_, static_cast<std::size_t>(k));
    pos_ += k;
    return k;
}

std::int64_t TFixedMemoryStream::Write(const void*, std::int64_t) {
    throw EWriteError();
}

std::int64_t TFixedMemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const std::int64_t p = Resolve(offset, origin, pos_, size_);
    if (p < 0) throw EStreamError("Stream seek error");
    pos_ = p;
    return pos_;
}

} // namespace pixkit
