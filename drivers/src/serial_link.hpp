// The send and receive layer both serial drivers share: framing with CR LF on the way
// out, and a bounded read up to the carriage return on the way in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Writes the command followed by CR LF as one write; returns ComWrt's count.
int serial_link_write(int port, std::string_view command);
// Reads up to a carriage return (not kept) or `max_bytes`; returns ComRdTerm's count and,
// when it is positive, the bytes read in *reply (left as it was otherwise). Bytes that
// came without their carriage return before the read timed out (or the port failed)
// give that failure (kRS232Timeout), and *reply is left as it was.
int serial_link_read(int port, std::size_t max_bytes, std::string* reply);

// Waits until what was written to the port has gone out on the line (DrainOutQ), booked as
// line time.
int serial_link_drain(int port);
