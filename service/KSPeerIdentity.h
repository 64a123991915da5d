#pragma once

#include <optional>
#include <string>

#include <sys/types.h>

// Who is at the other end of an accepted TCP connection. On this machine
// every client shares the address 127.0.0.1, so the kernel is asked which
// user owns the peer's socket: limits then hold per local user, and one user
// cannot use up what another one needs. A peer on another machine is known
// by its address alone.
struct KSPeerIdentity
{
    std::string address;
    std::optional<uid_t> uid;

    // "uid 1000" or "address 192.0.2.7": the key that limits are counted by.
    [[nodiscard]] std::string key() const;

    [[nodiscard]] static KSPeerIdentity of(int socket);
};
