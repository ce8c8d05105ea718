// The device table every driver keeps: ten slots, each holding the bus address of an
// instrument and a handle (GPIB unit descriptor, or 1 as the open flag of a serial driver).
// A slot whose address is 0 is free; a device is open when its handle is above 0.
#pragma once

#include <array>

struct DeviceTable {
    static constexpr int kSlots = 10;

    // Element 0 exists and stays unused, except by the counter's "accept a full table".
    std::array<int, kSlots + 1> address{};
    std::array<int, kSlots + 1> handle{};
    int open_count = 0;

    static bool in_range(int id) { return id >= 1 && id <= kSlots; }

    // The slot already holding this address, or 0.
    int slot_with_address(int addr) const {
        for (int slot = 1; slot <= kSlots; ++slot)
            if (address[static_cast<unsigned>(slot)] == addr)
                return slot;
        return 0;
    }
    // The lowest free slot, or 0 when all ten are taken.
    int free_slot() const { return slot_with_address(0); }

    int store(int slot, int addr, int h) {
        address[static_cast<unsigned>(slot)] = addr;
        handle[static_cast<unsigned>(slot)] = h;
        ++open_count;
        return slot;
    }
    // Frees an open slot and returns the new open count; 0 for a slot that was not open.
    // An id outside the table is never open, so a caller that carried on past a failed
    // range check cannot reach past the table.
    int close(int id) {
        if (!in_range(id) || handle[static_cast<unsigned>(id)] == 0)
            return 0;
        handle[static_cast<unsigned>(id)] = 0;
        address[static_cast<unsigned>(id)] = 0;
        return --open_count;
    }
    int is_open(int id) const {
        return in_range(id) && handle[static_cast<unsigned>(id)] > 0 ? 1 : 0;
    }
    int handle_of(int id) const { return in_range(id) ? handle[static_cast<unsigned>(id)] : 0; }
};
