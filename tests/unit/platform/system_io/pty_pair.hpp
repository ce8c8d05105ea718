// A pseudo-terminal pair for the serial tests: the program opens the slave as its serial
// device; the test plays the instrument on the master.
#pragma once

#include <string>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& slave_name() const { return slave_name_; }
    // The test's own descriptor of the slave, to read back the settings the program set.
    int slave() const { return slave_; }

    // The instrument's side.
    void send(const std::string& bytes);
    // The bytes that reach the instrument: `count` of them, or fewer if none come for
    // a few seconds.
    std::string receive(std::size_t count);
    // The instrument goes away.
    void close_master();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slave_name_;
};
