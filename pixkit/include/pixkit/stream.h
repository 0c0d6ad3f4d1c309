// Streams and the exceptions of file handling: the reading and writing layer
// every codec works on. Reads that must succeed raise EReadError at the end
// of the data; nothing quietly returns zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace pixkit {

// Exception hierarchy: Exception <- EStreamError <- EFilerError <- EReadError,
// EWriteError, EInvalidImage; EStreamError <- EFileStreamError <- EFOpenError,
// EFCreateError.
class Exception : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
class EStreamError : public Exception {
  public:
    using Exception::Exception;
};
class EFilerError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};
class EReadError : public EFilerError {
  public:
    EReadError() : EFilerError("Stream read error") {}
};
class EWriteError : public EFilerError {
  public:
    EWriteError() : EFilerError("Stream write error") {}
};
class EFileStreamError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EFileStreamError {
  public:
    using EFileStreamError::EFileStreamError;
};
class EFCreateError : public EFileStreamError {
  public:
    using EFileStreamError::EFileStreamError;
};
// Raised by every codec on data it cannot read. The message is fixed.
class EInvalidImage : public EFilerError {
  public:
    static constexpr const char* kMessage =
        "Graphics file has an invalid/unknown format or has been damaged.";
    EInvalidImage() : EFilerError(kMessage) {}
};

enum class SeekOrigin { Begin, Current, End };

class TStream {
  public:
    virtual ~TStream() = default;
    // Reads up to n bytes; returns how many were read (0 at the end).
    virtual std::int64_t Read(void* buffer, std::int64_t n) = 0;
    // Writes up to n bytes; returns how many were written.
    virtual std::int64_t Write(const void* buffer, std::int64_t n) = 0;
    // Moves the position; returns the new position.
    virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(std::int64_t p) { Seek(p, SeekOrigin::Begin); }
    std::int64_t Size();

    // Reads exactly n bytes or raises EReadError.
    void ReadBuffer(void* buffer, std::int64_t n);
    // Writes exactly n bytes or raises EWriteError.
    void WriteBuffer(const void* buffer, std::int64_t n);
};

// A file opened for reading, or created (replacing an existing one) for writing.
class TFileStream : public TStream {
  public:
    enum class Mode { OpenRead, Create };
    // Raises EFOpenError or EFCreateError with the system's reason.
    TFileStream(const std::string& name, Mode mode);
    // Takes over an open file descriptor.
    TFileStream(int fd, const std::string& name);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::int64_t Read(void* buffer, std::int64_t n) override;
    std::int64_t Write(const void* buffer, std::int64_t n) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    // Flushes to the disk and closes; raises EWriteError when that fails.
    void Close();
    const std::string& FileName() const { return name_; }

  private:
    int fd_ = -1;
    std::string name_;
};

// A growable stream in memory.
class TMemoryStream : public TStream {
  public:
    std::int64_t Read(void* buffer, std::int64_t n) override;
    std::int64_t Write(const void* buffer, std::int64_t n) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

    std::uint8_t* Memory() { return data_.data(); }
    const std::vector<std::uint8_t>& Bytes() const { return data_; }
    void SetSize(std::int64_t n);
    void Clear();
    void LoadFromFile(const std::string& name);
    void SaveToFile(const std::string& name);

  private:
    std::vector<std::uint8_t> data_;
    std::int64_t pos_ = 0;
};

// A read-only stream over memory owned by the caller.
class TFixedMemoryStream : public TStream {
  public:
    TFixedMemoryStream(const void* data, std::size_t size)
        : data_(static_cast<const std::uint8_t*>(data)), size_(static_cast<std::int64_t>(size)) {}
    std::int64_t Read(void* buffer, std::int64_t n) override;
    // Always raises EWriteError: the memory is not ours to change.
    std::int64_t Write(const void* buffer, std::int64_t n) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

  private:
    const std::uint8_t* data_;
    std::int64_t size_;
    std::int64_t pos_ = 0;
};

} // namespace pixkit
