// Where the data-acquisition unit really is on the GPIB: the program addresses it at its
// built-in board and address, and this backend, put in front of the platform's, sends
// that unit to the board and address of the HP34970Gpib property. Every other unit, and
// every call on an open descriptor, goes through unchanged.
#pragma once

#include "platform/gpib.hpp"

#include <mutex>
#include <optional>

class GpibPlace : public GpibBackend {
public:
    explicit GpibPlace(GpibBackend& inner) : inner_(inner) {}

    // Unit (from_board, from_address) is opened at (board, address) from now on; nothing
    // puts it back at its own place. Any thread.
    void place(int from_board, int from_address, std::optional<std::pair<int, int>> to);

    int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
    int ibclr(int ud) override { return inner_.ibclr(ud); }
    int ibwrt(int ud, const char* buffer, long count, long& transferred) override {
        return inner_.ibwrt(ud, buffer, count, transferred);
    }
    int ibrd(int ud, char* buffer, long count, long& transferred) override {
        return inner_.ibrd(ud, buffer, count, transferred);
    }
    int ibrsp(int ud, char* status_byte) override { return inner_.ibrsp(ud, status_byte); }
    int ibonl(int ud, int online) override { return inner_.ibonl(ud, online); }
    std::string describe_unit(int board, int address) const override;

private:
    std::pair<int, int> placed(int board, int address) const;

    GpibBackend& inner_;
    mutable std::mutex mutex_;
    std::pair<int, int> from_{-1, -1};
    std::optional<std::pair<int, int>> to_;
};
