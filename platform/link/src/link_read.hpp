// The one read loop both in-process links share: gather the peer's bytes into the
// pending queue until a terminator, a count or a deadline, waiting on the platform clock.
#pragma once

#include "platform/link.hpp"

#include <string>

struct LinkReadResult {
    std::string bytes; // taken from the front of the queue
    bool terminated = false;
    bool timed_out = false;
};

// Takes from `pending` (refilled from `peer`) at most `count` bytes, up to and including
// the first byte equal to `terminator` when terminator >= 0. Waits with Delay until the
// peer's next bytes are due or `timeout` seconds have passed.
LinkReadResult link_read(LinkPeer& peer, std::string& pending, std::size_t count, int terminator,
                         double timeout);
