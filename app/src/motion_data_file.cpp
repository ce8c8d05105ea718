#include "app/motion_data_file.hpp"

#include "app/shell/messages.hpp"
#include "app/shell/run_log.hpp"
#include "platform/platform.hpp"

#include <optional>
#include <string>

namespace {

constexpr int kTargets = 5;
constexpr const char* kTargetNames[kTargets] = {"X", "Y", "Roll", "Pitch", "Yaw"};

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// One white-space separated word of the file. Characters past the longest word the file
// may hold are counted but not kept.
struct Word {
    std::string text;
    bool overlong = false;
};

// Reads the file's first `wanted` words; later words are never looked at.
class WordReader {
public:
    explicit WordReader(int file) : file_(file) {}

    bool next(Word& word) {
        word = Word{};
        bool in_word = false;
        for (;;) {
            if (pos_ == len_ && !refill())
                return in_word;
            const char c = buffer_[pos_++];
            if (is_blank(c)) {
                if (in_word)
                    return true;
                continue;
            }
            in_word = true;
            if (word.text.size() < kMotionDataWordChars)
                word.text.push_back(c);
            else
                word.overlong = true;
        }
    }

private:
    bool refill() {
        const long got = ReadFile(file_, buffer_, sizeof buffer_);
        pos_ = 0;
        len_ = got > 0 ? static_cast<std::size_t>(got) : 0;
        return len_ > 0;
    }

    int file_;
    char buffer_[4096];
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
};

// The whole word must be one finite number; "1.5mm" or "nan" is not a target.
std::optional<double> word_value(const Word& word) {
    if (word.overlong)
        return std::nullopt;
    std::size_t used = 0;
    const std::optional<double> value = parse_double_prefix(word.text, &used);
    if (!value || used != word.text.size())
        return std::nullopt;
    return value;
}

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
    WordReader reader(file);
    Word word;
    for (int i = 0; i < kTargets && reader.next(word); ++i) {
        if (const std::optional<double> value = word_value(word)) {
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
        if (rejected[i])
            continue;
        double& target = param.coord[static_cast<std::size_t>(i)];
        target = target / -1000.0;
        cam_move_GUI_out(panel, ctrls[static_cast<std::size_t>(i)], target);
    }
    write_to_log(motion_log_path(), strfmt("Motion data read from file %s", path.c_str()));
    cam_move_log_motion_data(" ", param);
}
