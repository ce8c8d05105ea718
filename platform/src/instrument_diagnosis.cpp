#include "platform/instrument_diagnosis.hpp"

#include <map>
#include <mutex>

namespace {

// Written by the backends on the operator thread, read there and by --check-instruments
// on the main thread: kept under a lock.
std::mutex g_mutex;
std::map<std::string, InstrumentDiagnosis> g_diagnoses;

} // namespace

std::string serial_instrument_key(int port) {
    return "COM" + std::to_string(port);
}

std::string gpib_instrument_key(int board, int address) {
    return "GPIB " + std::to_string(board) + ":" + std::to_string(address);
}

void instrument_diagnosis_record(const std::string& key, InstrumentDiagnosis diagnosis) {
    const std::lock_guard<std::mutex> lock(g_mutex);
    g_diagnoses[key] = std::move(diagnosis);
}

void instrument_diagnosis_forget(const std::string& key) {
    const std::lock_guard<std::mutex> lock(g_mutex);
    g_diagnoses.erase(key);
}

std::optional<InstrumentDiagnosis> instrument_diagnosis(const std::string& key) {
    const std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = g_diagnoses.find(key);
    if (it == g_diagnoses.end())
        return std::nullopt;
    return it->second;
}

std::string instrument_diagnosis_lines(const InstrumentDiagnosis& diagnosis) {
    std::string lines;
    if (!diagnosis.tried.empty())
        lines += "Tried: " + diagnosis.tried + "\n";
    if (!diagnosis.reason.empty())
        lines += "Reason: " + diagnosis.reason + "\n";
    if (!diagnosis.advice.empty())
        lines += "To do: " + diagnosis.advice + "\n";
    return lines;
}

std::string instrument_diagnosis_details(const std::string& key) {
    const std::optional<InstrumentDiagnosis> d = instrument_diagnosis(key);
    return d ? instrument_diagnosis_lines(*d) : std::string();
}

void platform_instrument_diagnosis_reset() {
    const std::lock_guard<std::mutex> lock(g_mutex);
    g_diagnoses.clear();
}
