// Talking to the simulated instruments the way a driver would, without one: raw serial
// writes and terminated reads through the platform, and GPIB writes and reads.
#pragma once

#include <string>
#include <string_view>

// Opens COM `port` with the given framing; 0 on success.
int open_port(int port, int data_bits, int stop_bits);
void send(int port, std::string_view text);
// One reply up to a carriage return (not kept); "" after the read's time-out.
std::string read_line(int port);
// Everything the port holds after waiting `seconds`.
std::string drain(int port, double seconds);

int open_daq();                                  // the HP34970 at board 1, address 9
void daq_send(int ud, std::string_view command); // the command and a line feed
std::string daq_read(int ud);                    // one reply without its line feed
// Sends a query and returns its reply.
std::string daq_query(int ud, std::string_view query);
