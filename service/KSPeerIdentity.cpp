#include "KSPeerIdentity.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// The owner of the socket whose local end is `peer` and remote end `self`:
// the client's own socket, looked up through the kernel's socket
// diagnostics, which any user may query. Nothing when it is not on this
// machine or the query fails.
std::optional<uid_t> ownerOfPeerSocket(const sockaddr_storage &peer, const sockaddr_storage &self)
{
    if (peer.ss_family != self.ss_family || (peer.ss_family != AF_INET && peer.ss_family != AF_INET6))
        return std::nullopt;
    struct
    {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof(message);
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    inet_diag_req_v2 &request = message.request;
    request.sdiag_family = peer.ss_family;
    request.sdiag_protocol = IPPROTO_TCP;
    request.idiag_states = ~0u;
    request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    if (peer.ss_family == AF_INET) {
        const auto &from = reinterpret_cast<const sockaddr_in &>(peer);
        const auto &to = reinterpret_cast<const sockaddr_in &>(self);
        request.id.idiag_sport = from.sin_port;
        request.id.idiag_dport = to.sin_port;
        std::memcpy(request.id.idiag_src, &from.sin_addr, sizeof(from.sin_addr));
        std::memcpy(request.id.idiag_dst, &to.sin_addr, sizeof(to.sin_addr));
    } else {
        const auto &from = reinterpret_cast<const sockaddr_in6 &>(peer);
        const auto &to = reinterpret_cast<const sockaddr_in6 &>(self);
        request.id.idiag_sport = from.sin6_port;
        request.id.idiag_dport = to.sin6_port;
        std::memcpy(request.id.idiag_src, &from.sin6_addr, sizeof(from.sin6_addr));
        std::memcpy(request.id.idiag_dst, &to.sin6_addr, sizeof(to.sin6_addr));
    }

    const int query = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (query < 0)
        return std::nullopt;
    // The kernel answers at once; a short time-out guards against a kernel
    // that never does.
    const timeval wait{0, 200'000};
    setsockopt(query, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    std::optional<uid_t> owner;
    alignas(nlmsghdr) char reply[8192];
    if (sendto(query, &message, sizeof(message), 0, reinterpret_cast<const sockaddr *>(&kernel), sizeof(kernel))
        == ssize_t(sizeof(message))) {
        const ssize_t received = recv(query, reply, sizeof(reply), 0);
        // The answer is one message: the socket found, or an error.
        auto *header = reinterpret_cast<nlmsghdr *>(reply);
        if (received >= ssize_t(NLMSG_LENGTH(sizeof(inet_diag_msg))) && header->nlmsg_type == SOCK_DIAG_BY_FAMILY
            && header->nlmsg_len >= NLMSG_LENGTH(sizeof(inet_diag_msg)) && header->nlmsg_len <= size_t(received))
            owner = static_cast<const inet_diag_msg *>(NLMSG_DATA(header))->idiag_uid;
    }
    close(query);
    return owner;
}

std::string addressText(const sockaddr_storage &address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in &>(address).sin_addr, text, sizeof(text));
    else if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 &>(address).sin6_addr, text, sizeof(text));
    return text;
}

} // namespace

std::string KSPeerIdentity::key() const
{
    return uid ? "uid " + std::to_string(*uid) : "address " + address;
}

KSPeerIdentity KSPeerIdentity::of(int socket)
{
    KSPeerIdentity identity;
    sockaddr_storage peer{};
    sockaddr_storage self{};
    socklen_t peerLength = sizeof(peer);
    socklen_t selfLength = sizeof(self);
    if (getpeername(socket, reinterpret_cast<sockaddr *>(&peer), &peerLength) != 0
        || getsockname(socket, reinterpret_cast<sockaddr *>(&self), &selfLength) != 0)
        return identity;
    identity.address = addressText(peer);
    identity.uid = ownerOfPeerSocket(peer, self);
    return identity;
}
