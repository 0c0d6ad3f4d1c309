#include "protocol.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace kvc {

bool SendFrame(int socket, Op kind, const void* head, std::size_t headBytes, const void* extra,
               std::size_t extraBytes, int passFd) {
    const auto op = static_cast<std::uint32_t>(kind);
    iovec parts[3] = {{const_cast<std::uint32_t*>(&op), sizeof(op)},
                      {const_cast<void*>(head), headBytes},
                      {const_cast<void*>(extra), extraBytes}};
    msghdr msg{};
    msg.msg_iov = parts;
    msg.msg_iovlen = 3;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (passFd >= 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof(control);
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &passFd, sizeof(int));
    }
    ssize_t sent;
    do sent = sendmsg(socket, &msg, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(sizeof(op) + headBytes + extraBytes);
}

bool RecvFrame(int socket, Frame& frame) {
    frame.Data.resize(kMaxFrame);
    std::uint32_t op = 0;
    iovec parts[2] = {{&op, sizeof(op)}, {frame.Data.data(), frame.Data.size()}};
    msghdr msg{};
    msg.msg_iov = parts;
    msg.msg_iovlen = 2;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);
    ssize_t got;
    do got = recvmsg(socket, &msg, MSG_CMSG_CLOEXEC);
    while (got < 0 && errno == EINTR);
    frame.Fd = -1;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c))
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS)
            std::memcpy(&frame.Fd, CMSG_DATA(c), sizeof(int));
    if (got < static_cast<ssize_t>(sizeof(op)) || (msg.msg_flags & MSG_TRUNC) != 0) {
        if (frame.Fd >= 0) close(frame.Fd);
        frame.Fd = -1;
        return false;
    }
    frame.Kind = static_cast<Op>(op);
    frame.Data.resize(static_cast<std::size_t>(got) - sizeof(op));
    return true;
}

std::string Frame::Tail(std::size_t offset) const {
    if (offset >= Data.size()) return {};
    return std::string(reinterpret_cast<const char*>(Data.data()) + offset, Data.size() - offset);
}

std::string DescValue(const std::string& desc, const std::string& key) {
    const std::size_t at = desc.find(key);
    if (at == std::string::npos) return {};
    const std::size_t from = at + key.size();
    const std::size_t end = desc.find('\r', from);
    return desc.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

} // namespace kvc
