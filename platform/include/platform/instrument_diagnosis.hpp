// Why an instrument could not be opened or reached, kept per instrument so that the
// reports the operator meets (a pop-up's details, the run log's entry, the
// --check-instruments table) can say what was tried, what the system answered and what
// to do about it.
//
// The backends that open ports and units record a diagnosis when an open or a read fails
// and forget it when the instrument opens; the drivers and the bring-up read it. An
// instrument is named by its link: "COM2", "GPIB 1:9".
#pragma once

#include <optional>
#include <string>

struct InstrumentDiagnosis {
    std::string tried;  // "COM2 -> /dev/ttyS1 (set by TRELWICK_COM2)"
    std::string reason; // "not found (No such file or directory)"
    std::string advice; // "check that the adapter is plugged in, ..."
};

std::string serial_instrument_key(int port);
std::string gpib_instrument_key(int board, int address);

void instrument_diagnosis_record(const std::string& key, InstrumentDiagnosis diagnosis);
void instrument_diagnosis_forget(const std::string& key);
std::optional<InstrumentDiagnosis> instrument_diagnosis(const std::string& key);

// The lines shown under a designed message: "Tried: ...", "Reason: ...", "To do: ...",
// each ending with a line feed (a line whose text is empty is left out). Empty when
// nothing is recorded for the instrument.
std::string instrument_diagnosis_details(const std::string& key);
std::string instrument_diagnosis_lines(const InstrumentDiagnosis& diagnosis);

void platform_instrument_diagnosis_reset();
