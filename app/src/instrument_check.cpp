#include "app/instrument_check.hpp"

#include "app/program_folders.hpp"

#include "platform/gpib.hpp"
#include "platform/instrument_diagnosis.hpp"
#include "platform/serial.hpp"
#include "platform/text.hpp"
#include "stage/records.hpp"

#include <string_view>
#include <vector>

namespace {

constexpr int kTimeout3s = 12;       // the unit's time-out code for 3 s
constexpr int kEosLineFeed = 0x140A; // end reads at LF, as the driver does
constexpr std::size_t kShownReply = 48;

struct Row {
    std::string instrument;
    std::string link;    // "COM2", "GPIB 1:9"
    std::string mapping; // where the backend says the link leads
    bool opens = false;
    bool answers = false;
    std::string answer; // "TPC -> *TPC+0.0000,..." or why not
};

// A reply as it may be shown on one line: control characters as '?', cut to a length.
std::string shown(std::string_view reply) {
    std::string out;
    for (const char c : reply.substr(0, kShownReply))
        out.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
    if (reply.size() > kShownReply)
        out += "...";
    return out;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.front() == '\n' || text.front() == '\r' || text.front() == ' '))
        text.erase(0, 1);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Sends `query` (CR LF) and reads up to `reads` replies (each up to CR, within the serial
// time-out) for one that starts with `expected`: an instrument that echoes what it
// receives sends the query back first.
void serial_query(Row& row, int port, const char* query, std::string_view expected, int reads) {
    FlushInQ(port);
    const std::string framed = std::string(query) + "\r\n";
    if (ComWrt(port, framed.data(), static_cast<int>(framed.size())) <= 0) {
        row.answer = strfmt("%s could not be sent", query);
        return;
    }
    std::string last;
    for (int i = 0; i < reads; ++i) {
        char buffer[300];
        const int n = ComRdTerm(port, buffer, static_cast<int>(sizeof buffer), 13);
        if (n <= 0)
            break;
        last = trimmed(std::string(buffer, static_cast<std::size_t>(n)));
        if (last.rfind(expected, 0) == 0) {
            row.answers = true;
            row.answer = strfmt("%s -> %s", query, shown(last).c_str());
            return;
        }
    }
    row.answer = last.empty() ? strfmt("no answer to %s", query)
                              : strfmt("unexpected answer to %s: %s", query, shown(last).c_str());
}

Row check_serial(const char* instrument, int port, int data_bits, int stop_bits, const char* query,
                 std::string_view expected, int reads) {
    Row row;
    row.instrument = instrument;
    row.link = serial_instrument_key(port);
    const SerialBackend* backend = platform_serial();
    row.mapping = backend != nullptr ? backend->describe_port(port) : row.link + " -> nothing";
    const int opened = OpenComConfig(port, "", 9600, 0, data_bits, stop_bits, 512, 512);
    row.opens = opened == 0;
    if (!row.opens) {
        row.answer = strfmt("not tried (the port gives code %d)", opened);
        return row;
    }
    serial_query(row, port, query, expected, reads);
    return row;
}

Row check_unit(int board, int address) {
    Row row;
    row.instrument = "HP34970 DAQ unit";
    row.link = gpib_instrument_key(board, address);
    const GpibBackend* backend = platform_gpib();
    row.mapping =
        backend != nullptr ? backend->describe_unit(board, address) : row.link + " -> nothing";
    const int ud = ibdev(board, address, 0, kTimeout3s, 0, kEosLineFeed);
    row.opens = ud > 0;
    if (!row.opens) {
        row.answer = "not tried";
        return row;
    }
    const char query[] = "*IDN?\n";
    if ((ibwrt(ud, query, static_cast<long>(sizeof query - 1)) & ERR) != 0) {
        row.answer = "*IDN? could not be sent";
    } else {
        char buffer[300];
        const int status = ibrd(ud, buffer, static_cast<long>(sizeof buffer));
        long count = ThreadIbcntl();
        count = count < 0 ? 0 : (count > static_cast<long>(sizeof buffer) ? sizeof buffer : count);
        const std::string reply = trimmed(std::string(buffer, static_cast<std::size_t>(count)));
        row.answers = (status & ERR) == 0 && !reply.empty();
        row.answer = row.answers ? "*IDN? -> " + shown(reply) : std::string("no answer to *IDN?");
    }
    ibonl(ud, 0);
    return row;
}

std::string padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

void print_row(std::string& out, const Row& row) {
    out += padded(row.instrument, 25) + padded(row.link, 10) + padded(row.opens ? "yes" : "no", 7) +
           (row.answers ? "yes  " : "no   ") + row.answer + "\n";
    out += "    " + row.mapping + "\n";
    if (row.answers)
        return;
    const std::optional<InstrumentDiagnosis> d = instrument_diagnosis(row.link);
    if (d && !d->reason.empty()) {
        out += "    Reason: " + d->reason + "\n";
        out += "    To do: " + d->advice + "\n";
    } else if (row.opens) {
        out += "    To do: check the cable and that the instrument is switched on\n";
    }
}

// A folder's row: whether it exists and may be written, where it is, and when it is not in
// place (`needs_writing`: the program writes there) why and what to do. True when in place.
bool print_folder_row(std::string& out, const ProgramFolder& folder, bool needs_writing) {
    out += padded(folder.name, 25) + padded(folder.exists ? "yes" : "no", 10) +
           (folder.writable ? "yes" : "no") + "\n";
    out += "    " + folder.program_path + " -> " + folder.disk_path + "\n";
    const bool in_place = folder.exists && (folder.writable || !needs_writing);
    if (!in_place) {
        out += "    Reason: " + program_folder_problem(folder) + "\n";
        out += "    To do: " + program_folder_advice(folder) + "\n";
    }
    return in_place;
}

} // namespace

InstrumentCheck check_instruments() {
    param_structure param{};
    instrument_addresses addresses{};
    fill_param_structure(param, addresses, 0);
    // The controller echoes what it receives until bring-up turns the echo off: the query
    // may come back before its answer.
    const std::vector<Row> rows = {
        check_serial("CM6K6 motion controller", addresses.cm_com_port, 8, 1, "TPC", "*", 3),
        check_serial("EV-16P gauge counter", addresses.ev_com_port, 7, 2, "CK01", "CK01", 2),
        check_unit(addresses.hp_gpib_board_addr, addresses.hp_gpib_dev_addr),
    };
    InstrumentCheck result;
    result.report =
        padded("Instrument", 25) + padded("Link", 10) + padded("Opens", 7) + "Answers\n";
    for (const Row& row : rows) {
        print_row(result.report, row);
        if (!row.answers)
            ++result.failed;
    }
    // The program writes its run log and reads the motion data file in these folders.
    result.report += padded("Folder", 25) + padded("Exists", 10) + "Writable\n";
    int folders_out = 0;
    folders_out += print_folder_row(result.report, check_run_log_folder(), true) ? 0 : 1;
    folders_out += print_folder_row(result.report, check_motion_data_folder(), false) ? 0 : 1;
    result.report += result.failed == 0
                         ? "All three instruments answer.\n"
                         : strfmt("%d of 3 instruments do not answer: see the advice under "
                                  "them.\n",
                                  result.failed);
    result.report += folders_out == 0 ? "Both folders are in place.\n"
                                      : strfmt("%d of 2 folders are not in place: see the "
                                               "advice under them.\n",
                                               folders_out);
    result.failed += folders_out;
    return result;
}
