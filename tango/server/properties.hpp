// The device properties of TrelwickStage as text from the TANGO database, checked: each
// parse gives the value or says why the text cannot be taken, so that a wrong property
// puts the device in FAULT with the reason instead of being silently replaced.
#pragma once

#include "drivers/wait_profile.hpp"

#include <optional>
#include <string>
#include <utility>

template <typename T> struct PropertyValue {
    std::optional<T> value; // nothing when the text was refused
    std::string error;      // why, naming the property and the text
};

// "true"/"false" (also "1"/"0", "yes"/"no", any case), as Jive and tango_admin write them.
PropertyValue<bool> parse_flag_property(const std::string& name, const std::string& text);

// A finite decimal number in [low, high].
PropertyValue<double> parse_number_property(const std::string& name, const std::string& text,
                                            double low, double high);

// "BOARD:ADDRESS" of a GPIB unit: board 0 to 10, primary address 1 to 30.
PropertyValue<std::pair<int, int>> parse_gpib_property(const std::string& name,
                                                       const std::string& text);

// "designed" or "fast", any case.
PropertyValue<WaitProfile> parse_wait_profile_property(const std::string& name,
                                                       const std::string& text);
