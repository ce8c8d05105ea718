#include "app/motion_data_file.hpp"

#include "app/motion_data_words.hpp"
#include "app/shell/messages.hpp"
#include "app/shell/run_log.hpp"
#include "platform/platform.hpp"

#include <optional>
#include <string>

namespace {

constexpr int kTargets = kMotionDataTargets;
constexpr const char* kTargetNames[kTargets] = {"X", "Y", "Roll", "Pitch", "Yaw"};

} // namespace

void cam_move_read_motion_data(int panel, param_structure& param,
                               const coordinate_controls& ctrls) {
    std::string path;
    if (MakePathname(kExchangeDirectory, kMotionDataFileName, &path) < 0)
        cam_move_error_handling(1, "Unable to create data file");
    const int file = OpenFile(path, VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII);
    if (file < 0) {
        cam_move_error_handling(1, "Unable to open data file");
        return;
    }
    bool rejected[kTargets] = {};
    MotionDataWords reader(
        [file](char* buffer, std::size_t capacity) { return ReadFile(file, buffer, capacity); });
    MotionDataWord word;
    for (int i = 0; i < kTargets && reader.next(word); ++i) {
        if (const std::optional<double> value = motion_data_word_value(word)) {
            param.coord[static_cast<std::size_t>(i)] = *value;
        } else {
            rejected[i] = true;
            MessagePopup("Motion data",
                         strfmt("Word %d of %s is not a number.\nThe %s target is left as it was.",
                                i + 1, path.c_str(), kTargetNames[i])
                             .c_str());
        }
    }
    CloseFile(file);

    for (int i = 0; i < kTargets; ++i) {
        double& target = param.coord[static_cast<std::size_t>(i)];
        // The panel keeps its target, and that is what Move will use and what is logged.
        if (rejected[i]) {
            double shown = 0.0;
            if (GetCtrlVal(panel, ctrls[static_cast<std::size_t>(i)], &shown) >= 0)
                target = shown;
            continue;
        }
        target = target / -1000.0;
        cam_move_GUI_out(panel, ctrls[static_cast<std::size_t>(i)], target);
    }
    write_to_log(motion_log_path(), strfmt("Motion data read from file %s", path.c_str()));
    cam_move_log_motion_data(" ", param);
}
