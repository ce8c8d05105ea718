#include "app/bring_up.hpp"

#include "app/main_panel.hpp"
#include "app/program_folders.hpp"
#include "app/shell/coordinate_box.hpp"
#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/hp34970.hpp"
#include "drivers/wait_profile.hpp"
#include "platform/platform.hpp"
#include "stage/coordinate_exchange.hpp"

#include <filesystem>
#include <system_error>

namespace {

constexpr int kLastRunLogNumber = 999;
constexpr int kAsteriskLineLength = 73;

// Controls that need instruments; bring-up enables them once the instruments are open.
constexpr int kOperationControls[] = {
    MAIN_READ_POT_5, MAIN_READ_POT_4, MAIN_READ_POT_3, MAIN_READ_POT_2, MAIN_MOVE,
    MAIN_HOME,       MAIN_READ_DATA,  MAIN_PARAM,      MAIN_TEST,
};
// Gauges 1 to 4 and Zero all gauges; gauge 5's buttons stay as the panel has them.
constexpr int kGaugeControls[] = {
    MAIN_READ_GAGE_1, MAIN_READ_GAGE_2, MAIN_READ_GAGE_3, MAIN_READ_GAGE_4, MAIN_ZERO_GAGE_1,
    MAIN_ZERO_GAGE_2, MAIN_ZERO_GAGE_3, MAIN_ZERO_GAGE_4, MAIN_ZERO_ALL,
};

// A PROBLEM entry of the run log with the instrument's diagnosis, if any, under it: one
// indented line each.
std::string problem_entry(const char* problem, const std::string& details) {
    std::string entry = problem;
    std::size_t from = 0;
    while (from < details.size()) {
        const std::size_t end = details.find('\n', from);
        const std::size_t stop = end == std::string::npos ? details.size() : end;
        entry += "\n   " + details.substr(from, stop - from);
        from = stop + 1;
    }
    return entry;
}

// The diagnosis of the instrument bring-up stopped at (instrument_diagnosis.hpp): the unit
// when it is not open, else the controller.
std::string failed_instrument_details(const instrument_addresses& addresses) {
    if (shared_device_ids().hp34970 <= 0)
        return instrument_diagnosis_details(
            gpib_instrument_key(addresses.hp_gpib_board_addr, addresses.hp_gpib_dev_addr));
    return instrument_diagnosis_details(serial_instrument_key(addresses.cm_com_port));
}

std::string run_log_name(int n) {
    return strfmt("Trelwick_log.%03d", n);
}

// True when both program paths name the same file on disk.
bool same_file(const std::string& a, const std::string& b) {
    std::error_code ec;
    const bool same = std::filesystem::equivalent(platform_map_path(a), platform_map_path(b), ec);
    return !ec && same;
}

// The header and the asterisk line. A disk that will not take them loses the run log's
// first lines as it would lose an entry, and the operator hears of it the same way.
void write_run_log_header(int file) {
    const std::string header = strfmt("%s %s %s %s\n", "Trelwick system started ",
                                      DateStr().c_str(), "at:", TimeStr().c_str()) +
                               std::string(kAsteriskLineLength, '*') + "\n";
    if (WriteFile(file, header) != static_cast<long>(header.size()))
        cam_move_error_handling(1, "Unable to open log file");
}

// True for a run log of the log folder (Trelwick_log.NNN there), the current one or an
// older one: none of them may be truncated as a data file.
bool is_run_log(const std::string& chosen) {
    const std::filesystem::path file = platform_map_path(chosen);
    const std::string name = file.filename().string();
    const std::string head = "Trelwick_log.";
    if (name.size() != head.size() + 3 || name.compare(0, head.size(), head) != 0)
        return false;
    for (std::size_t i = head.size(); i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9')
            return false;
    std::error_code ec;
    const bool in_log_folder =
        std::filesystem::equivalent(file.parent_path(), platform_map_path(kRunLogDirectory), ec);
    return !ec && in_log_folder;
}

// Says why no run log could be made: the folder is missing or not writable (with what to do),
// or else the file itself would not open. No instrument has been touched.
void tell_no_run_log(int panel, const std::string& path) {
    const ProgramFolder folder = check_run_log_folder();
    std::string text = program_folder_problem(folder);
    if (text.empty())
        text = "The run log " + platform_map_path(path) + " could not be created.";
    else
        text += "\n" + program_folder_advice(folder);
    update_status_line(panel, MAIN_STATUS,
                       folder.exists ? "Devices not initialised: the run log cannot be written"
                                     : "Devices not initialised: the run-log folder is missing");
    MessagePopup("Init Error", (text + "\nNo instrument was opened.").c_str());
}

} // namespace

int choose_run_log_name(std::string* path) {
    for (int n = 1; n <= kLastRunLogNumber; ++n) {
        if (MakePathname(kRunLogDirectory, run_log_name(n), path) < 0)
            cam_move_error_handling(1, "Unable to create data file");
        // A name whose check fails is passed over like a taken one.
        if (GetFileInfo(*path, nullptr) == 0)
            return 0;
    }
    return -1;
}

int file_open(std::string* path, int* handle, int mode) {
    std::string chosen;
    const int selected = FileSelectPopup(kRunLogDirectory, "*.dat", "*.txt", "Input file name",
                                         VAL_OK_BUTTON, 0, 0, 1, 1, &chosen);
    if (selected < 0) {
        cam_move_error_handling(1, "Problem reading file name");
        return -1;
    }
    // A cancelled pop-up chooses no file: nothing is opened, so nothing is truncated.
    if (selected == VAL_NO_FILE_SELECTED)
        return 0;
    // Truncating a run log would wipe the program's only record.
    if ((!log_path().empty() && same_file(chosen, log_path())) || is_run_log(chosen)) {
        cam_move_error_handling(1, "Problem open the file");
        *handle = -1;
        return -1;
    }
    *path = chosen;
    const int file = OpenFile(chosen, mode, VAL_TRUNCATE, VAL_ASCII);
    *handle = file;
    if (file < 0) {
        cam_move_error_handling(1, "Problem open the file");
        return -1;
    }
    std::string comment;
    if (PromptPopup("Input file header", "Type comments to the data", &comment, 1000) <= 0) {
        cam_move_error_handling(1, "Problem reading file header");
        CloseFile(file);
        return -1;
    }
    const std::string header = strfmt("%s %s", DateStr().c_str(), comment.c_str());
    if (WriteFile(file, header) != static_cast<long>(header.size())) {
        cam_move_error_handling(1, "Problem writing file header");
        CloseFile(file);
        return -1;
    }
    CloseFile(file);
    return 1;
}

int cam_move_device_init(const std::string& run_log, int panel, int status_control,
                         instrument_addresses addresses, param_structure /*param*/) {
    if (platform_panels() == nullptr)
        return -1;
    motion_log_path() = run_log;
    device_ids& ids = shared_device_ids();
    if (ids.hp34970 <= 0) {
        update_status_line(panel, status_control, "Initialization HP34970...");
        hp34970_init(addresses.hp_gpib_board_addr, addresses.hp_gpib_dev_addr, &ids.hp34970);
        if (ids.hp34970 <= 0) {
            write_to_log(motion_log_path(), problem_entry("PROBLEM: HP34970 is not initialized",
                                                          failed_instrument_details(addresses)));
            return -1;
        }
        hp34970_out(ids.hp34970, "SYST:CPON ALL");
    }
    if (ids.cm6k6 <= 0) {
        update_status_line(panel, status_control, "Initialization CM6K6...");
        cm6k6_init(panel, addresses.cm_com_port, addresses.cm_dev_addr, &ids.cm6k6);
        if (ids.cm6k6 <= 0) {
            write_to_log(motion_log_path(), problem_entry("PROBLEM: CM6K6 is not initialized",
                                                          failed_instrument_details(addresses)));
            return -1;
        }
        update_status_line(panel, status_control, "Initialization CM6K6 OK...");
    }
    DisplayPanel(panel);
    write_to_log(motion_log_path(),
                 "METER: HP34970 \t MOTOR DRIVER:  CM6K6 \t GAGE: EV16P \t Initialized OK");
    profile_wait(DesignedWait::bring_up_end);
    return 0;
}

int device_init(int panel, int /*control*/, int event, void* /*callbackData*/, int /*eventData1*/,
                int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    std::string path;
    // Without its folder there is no run log, and a bring-up without one would leave no
    // record: nothing is opened until the folder is there.
    if (!program_folder_exists(kRunLogDirectory)) {
        tell_no_run_log(panel, kRunLogDirectory);
        return -1;
    }
    if (choose_run_log_name(&path) != 0) {
        MessagePopup("Init Error", "All run log names up to Trelwick_log.999 are taken.\n"
                                   "Move the old run logs out of C:\\CVI\\Trelwick\\Log.");
        return -1;
    }
    const int file = OpenFile(path, VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII);
    if (file < 0) {
        tell_no_run_log(panel, path);
        return -1;
    }
    write_run_log_header(file);
    CloseFile(file);
    log_path() = path;

    param_structure& param = shared_param();
    instrument_addresses& addresses = shared_addresses();
    fill_param_structure(param, addresses, 0);
    // Which stage this run log is of: the window's title, as the first entry.
    const std::string station = station_title();
    SetPanelAttribute(panel, ATTR_TITLE, station.c_str());
    write_to_log(log_path(), station);
    const int status = cam_move_device_init(log_path(), panel, MAIN_STATUS, addresses, param);
    cam_move_log_motion_data("Initial device coordinates", param);
    for (int i = 0; i < 5; ++i)
        cam_move_GUI_out(panel, coord_ctrls[static_cast<std::size_t>(i)],
                         param.coord[static_cast<std::size_t>(i)]);
    if (status != 0) {
        MessagePopup("Init Error", "Error in device init", failed_instrument_details(addresses));
        return 0;
    }

    int mode = 0;
    GetCtrlVal(panel, MAIN_ENTRY_MODE, &mode);
    GetCtrlVal(panel, MAIN_LOG_TO_FILE, &param.log_to_file);
    if (param.log_to_file == 1) {
        MessagePopup("File name", "Please, input file name to log the data");
        int handle = -1;
        const int chosen = file_open(&log_path(), &handle, VAL_READ_WRITE);
        if (chosen == 0) {
            param.log_to_file = 0; // no file chosen: the moves go to the run log only
        } else if (handle == -1) {
            cam_move_error_handling(-1, "Can not create the file");
            // There is no data file: the moves are logged in the run log alone, and every
            // later Move does not stop at a file it cannot open.
            log_path() = path;
            param.log_to_file = 0;
            MessagePopup("File name", "No data file: the moves are logged in the run log only.");
        }
    }
    set_coordinate_box(mode);

    update_status_line(panel, MAIN_STATUS, "Reading initial position");
    cam_move_get_coordinates(panel, param, addresses, coord_ctrls);
    cam_move_set_coordinates(panel, coord_ctrls, param);

    SetCtrlAttribute(panel, MAIN_INIT, ATTR_DIMMED, 1);
    for (const int control : kOperationControls)
        SetCtrlAttribute(panel, control, ATTR_DIMMED, 0);
    if (param.gage_count != 0)
        for (const int control : kGaugeControls)
            SetCtrlAttribute(panel, control, ATTR_DIMMED, 0);
    update_status_line(panel, MAIN_STATUS, "Devices are ready");
    return 0;
}
