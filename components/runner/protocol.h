// The frames between kv and its component runner, kvcrun. Both ends are
// built from the same sources, so the records pass as they are in memory.
// The socket is a SOCK_SEQPACKET pair: one frame per message, and the
// shared-memory descriptor travels as SCM_RIGHTS with a Map frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvc {

enum class Op : std::uint32_t {
    Load = 1,  // host: path of a component; answer Loaded
    Loaded,    // runner: LoadedHead, description, icon bytes (or error text)
    Unload,    // host: the component goes (no answer)
    Map,       // host: MapHead and the descriptor; answer Done
    Call,      // host: CallHead and its data; answer Done or Failed, with Host frames between
    Done,      // runner: DoneHead
    Failed,    // runner: the reason, as text; the runner is to be ended
    Host,      // runner: HostHead and its text or double; answer HostReply
    HostReply, // host: HostReplyHead
};

inline constexpr std::uint64_t kNoRegion = ~std::uint64_t(0);
// Descriptions and icons above this are refused: a frame must fit the
// socket's buffer.
inline constexpr std::size_t kMaxDescBytes = 60000;
inline constexpr std::size_t kMaxIconBytes = 60000;
inline constexpr std::size_t kMaxFrame = 2 * 65536;

// A picture in the shared memory: byte offset of its first pixel.
struct Region {
    std::uint64_t Offset = kNoRegion;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// The process block, with offsets instead of addresses.
struct BlockLayout {
    Region Source, Dest;
    std::int32_t Left = 0, Top = 0, Right = -1, Bottom = -1;
    std::int32_t Masked = 0, FullRun = 0;
    std::uint32_t DrawColor = 0, BackColor = 0;
    std::int32_t Current = 1;
    std::int32_t Reserved = 0;
    Region Images[10];
};

struct LoadedHead {
    std::int32_t Ok = 0;
    std::uint32_t DescBytes = 0; // or the error text's length
    std::uint32_t IconBytes = 0;
};

struct MapHead {
    std::uint64_t Bytes = 0;
};

struct CallHead {
    std::uint32_t Message = 0;
    std::uint32_t DataBytes = 0; // a BlockLayout for INIT and PROCESS
};

struct DoneHead {
    std::int32_t Result = 0;
};

enum class Extra : std::uint32_t { None = 0, Text = 1, Double = 2 };

struct HostHead {
    std::uint32_t Message = 0;
    std::uint32_t WParam = 0;
    std::int64_t LParam = 0;
    Extra Kind = Extra::None; // what LParam pointed at, copied after the head
};

struct HostReplyHead {
    std::int64_t Result = 0;
    std::int32_t HasBlock = 0; // the block changed (a resize): Block follows
    std::int32_t Reserved = 0;
    BlockLayout Block;
};

struct Frame {
    Op Kind = Op::Failed;
    std::vector<std::uint8_t> Data;
    int Fd = -1; // a descriptor that came with it, owned by the receiver

    template <typename T> bool Head(T& head) const;
    // The bytes after a head of size `offset`.
    std::string Tail(std::size_t offset) const;
};

// False when the peer is gone.
bool SendFrame(int socket, Op kind, const void* head, std::size_t headBytes,
               const void* extra = nullptr, std::size_t extraBytes = 0, int passFd = -1);
// False on end of file or error.
bool RecvFrame(int socket, Frame& frame);

template <typename T> bool Frame::Head(T& head) const {
    if (Data.size() < sizeof(T)) return false;
    __builtin_memcpy(&head, Data.data(), sizeof(T));
    return true;
}

// The value of a description key ("Name=") up to the next CR; empty when
// the key is missing. Keys are found by plain substring search.
std::string DescValue(const std::string& desc, const std::string& key);

} // namespace kvc
