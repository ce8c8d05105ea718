// The program as the operator starts it: with its resource file missing it reports on the
// console; "x" then Enter ends it with status 0, Enter alone goes on into the event loop,
// and with no line at all it asks in a pop-up instead. --check-instruments runs without a
// display and says what it found.
#include "closed_loopback_port.hpp"

#include <QProcess>
#include <QProcessEnvironment>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kConsoleError = "\nTRELWICK_UI_ERROR!!!:  Can not load UI Panel!!!\n"
                                  "Press ENTER to continue.\n"
                                  "Press any key then ENTER to terminate program.\n";

// A copy of the executable in a folder of its own, without the resource file beside it.
class LoneExecutable : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("trelwick-lone-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        exe = dir / "trelwick";
        fs::copy_file(TRELWICK_EXE, exe);
        ASSERT_FALSE(fs::exists(dir / "Trelwick.ui"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", QString::fromStdString(dir.string()));
        process.setProcessEnvironment(env);
        process.setProgram(QString::fromStdString(exe.string()));
    }
    void TearDown() override {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
        fs::remove_all(dir);
    }
    // Reads standard output until it holds `text` or the program ends.
    std::string read_until(const std::string& text) {
        std::string out;
        while (out.find(text) == std::string::npos) {
            if (!process.waitForReadyRead(30000))
                break;
            out += process.readAllStandardOutput().toStdString();
        }
        return out;
    }
    fs::path dir, exe;
    QProcess process;
};

} // namespace

TEST_F(LoneExecutable, AnsweringXEndsTheProgramWithStatusZero) {
    process.start();
    ASSERT_TRUE(process.waitForStarted(30000));
    process.write("x\n");
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardOutput().toStdString(), kConsoleError);
}

TEST_F(LoneExecutable, EnterAloneGoesOnIntoTheEventLoop) {
    process.start();
    ASSERT_TRUE(process.waitForStarted(30000));
    process.write("\n");
    process.closeWriteChannel();
    EXPECT_EQ(read_until("terminate program.\n"), kConsoleError);
    // Without a panel the program can only be ended from outside: it is still running.
    EXPECT_FALSE(process.waitForFinished(2000));
    EXPECT_EQ(process.state(), QProcess::Running);
}

TEST_F(LoneExecutable, NoLineAtTheConsoleAsksInAPopUpInstead) {
    // Started from a desktop, the program's input is at its end: no line comes, and the
    // operator is asked in a pop-up (continue or end the program), which waits for them.
    process.start();
    ASSERT_TRUE(process.waitForStarted(30000));
    process.closeWriteChannel();
    EXPECT_EQ(read_until("terminate program.\n"), kConsoleError);
    EXPECT_FALSE(process.waitForFinished(2000));
    EXPECT_EQ(process.state(), QProcess::Running);
}

// A mistyped option must not start the program on the instruments: it is refused before
// anything opens, with the way to the list of options.
TEST(CommandLine, AnUnknownOptionIsRefusedBeforeAnythingStarts) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.start(TRELWICK_EXE, {"--simualte"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 2);
    // (Qt may say something about its own set-up first.)
    EXPECT_THAT(process.readAllStandardError().toStdString(),
                testing::EndsWith("trelwick: unknown option --simualte (trelwick --help lists "
                                  "them)\n"));
    EXPECT_EQ(process.readAllStandardOutput().toStdString(), "");
}

// Every option that --help lists is taken by the program itself: each is run, with
// --simulate so that nothing reaches an instrument, and a value for the ones that want one.
// The program either answers and ends with 0 or shows its window; it never refuses the
// option. A documented option cannot be refused again without this failing.
TEST(CommandLine, EveryOptionThatHelpListsIsTaken) {
    const fs::path dir = fs::temp_directory_path() / "trelwick-every-option";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path control = dir / "control.txt";
    std::ofstream(control) << "# a scripted demonstration\nat 5 gauge 1 noise 2\n";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", QString::fromStdString(dir.string()));
    env.insert("XDG_DATA_HOME", QString::fromStdString((dir / "data").string()));
    env.insert("TRELWICK_REPORT_STARTUP", "1");

    QProcess help;
    help.start(TRELWICK_EXE, {"--help"});
    ASSERT_TRUE(help.waitForFinished(60000));
    ASSERT_EQ(help.exitCode(), 0);
    const std::string text = help.readAllStandardOutput().toStdString();

    // The options section: lines "  -h, --help", "  --speed N", "  --check-instruments".
    const std::regex option_line(R"(^  (-\w), (--[\w-]+)|^  (--[\w-]+)(?: ([A-Z]+))?)");
    std::map<std::string, std::string> options; // option -> the value it takes
    std::istringstream lines(text.substr(text.find("\nOptions:\n") + 1));
    for (std::string line; std::getline(lines, line) && !line.empty();) {
        std::smatch m;
        if (!std::regex_search(line, m, option_line))
            continue;
        if (m[1].matched) {
            options[m[1]] = "";
            options[m[2]] = "";
        } else {
            options[m[3]] = m[4] == "N"         ? "2"
                            : m[4] == "FILE"    ? control.string()
                            : m[4] == "PROFILE" ? "fast"
                                                : "";
        }
    }
    // The options the program had when this test was written are all still listed.
    for (const char* known : {"--simulate", "--speed", "--sim-control", "--check-instruments", "-h",
                              "--help", "--version"})
        EXPECT_EQ(options.count(known), 1u) << known << " is not listed";

    for (const auto& [option, value] : options) {
        QStringList arguments{QString::fromStdString(option)};
        if (!value.empty())
            arguments << QString::fromStdString(value);
        if (option != "--simulate")
            arguments << "--simulate";
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(TRELWICK_EXE, arguments);
        ASSERT_TRUE(process.waitForStarted(30000)) << option;
        // Ends by itself (an answer), or shows its window and is ended here.
        std::string err;
        bool shown = false;
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!shown && process.state() != QProcess::NotRunning &&
               std::chrono::steady_clock::now() < give_up) {
            process.waitForReadyRead(100);
            err += process.readAllStandardError().toStdString();
            shown = err.find("trelwick: first window shown") != std::string::npos;
        }
        if (shown) {
            process.kill();
            process.waitForFinished(10000);
        } else {
            ASSERT_EQ(process.state(), QProcess::NotRunning) << option << ": " << err;
            err += process.readAllStandardError().toStdString();
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << option;
            EXPECT_EQ(process.exitCode(), 0) << option << ": " << err;
        }
        EXPECT_EQ(err.find("unknown option"), std::string::npos) << option << ": " << err;
    }
    fs::remove_all(dir);
}

// --check-instruments needs no display (DISPLAY and QT_QPA_PLATFORM unset): it checks the
// three instruments, here the simulated stage, and exits before any window is made.
class InstrumentCheck : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("trelwick-check-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir / "not-a-port");
        env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "TRELWICK_COM2",
                                 "TRELWICK_COM5", "TRELWICK_GPIB1_9", "TRELWICK_GPIB_LIBRARY"})
            env.remove(name);
        env.insert("HOME", QString::fromStdString(dir.string()));
        env.insert("XDG_DATA_HOME", QString::fromStdString((dir / "data").string()));
        env.insert("TRELWICK_LOCK_DIR", QString::fromStdString(dir.string()));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    // Runs the check; its exit code, standard output in *out.
    int run(const QStringList& arguments, std::string* out) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(TRELWICK_EXE, arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        *out = process.readAllStandardOutput().toStdString();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    fs::path dir;
    QProcessEnvironment env;
};

TEST_F(InstrumentCheck, OnTheSimulatedStageAllThreeAnswer) {
    // The simulated stage makes its folders under its own drive root.
    const std::string drives = (dir / "data" / "trelwick" / "simulated-drives").string();
    std::string out;
    EXPECT_EQ(run({"--check-instruments", "--simulate"}, &out), 0);
    EXPECT_EQ(out, "Instrument               Link      Opens  Answers\n"
                   "CM6K6 motion controller  COM2      yes    yes  TPC -> *TPC+0,+0,+0,+0,+0,+0\n"
                   "    COM2 -> the simulated stage in this program\n"
                   "EV-16P gauge counter     COM5      yes    yes  CK01 -> CK010\n"
                   "    COM5 -> the simulated stage in this program\n"
                   "HP34970 DAQ unit         GPIB 1:9  yes    yes  *IDN? -> "
                   "HEWLETT-PACKARD,34970A,0,13-2-2\n"
                   "    GPIB 1:9 -> the simulated stage in this program\n"
                   "Folder                   Exists    Writable\n"
                   "Run-log folder           yes       yes\n"
                   "    C:\\CVI\\Trelwick\\Log -> " +
                       drives +
                       "/c/CVI/Trelwick/Log\n"
                       "Motion-data folder       yes       yes\n"
                       "    c:\\qel\\Exchange -> " +
                       drives +
                       "/c/qel/Exchange\n"
                       "All three instruments answer.\n"
                       "Both folders are in place.\n");
}

TEST_F(InstrumentCheck, WithNothingConnectedEachRowSaysWhyAndWhatToDo) {
    // A port that leads nowhere, one that is a folder, and a unit on a loopback port where
    // nothing listens (bound, then closed, so that no other program has it).
    const std::string endpoint = closed_loopback_endpoint();
    ASSERT_FALSE(endpoint.empty());
    const std::string missing = (dir / "no-such-port").string();
    const std::string folder = (dir / "not-a-port").string();
    env.insert("TRELWICK_COM2", QString::fromStdString(missing));
    env.insert("TRELWICK_COM5", QString::fromStdString(folder));
    env.insert("TRELWICK_GPIB1_9", QString::fromStdString(endpoint));

    // Nor are the program's folders there, under the drive root of its data folder.
    const std::string drives = (dir / "data" / "trelwick" / "drives").string();
    const std::string log_dir = drives + "/c/CVI/Trelwick/Log";
    const std::string exchange_dir = drives + "/c/qel/Exchange";
    const std::string root_advice =
        ", or give the program the drive root that holds it: it is " + drives +
        " (XDG_DATA_HOME or HOME set it; --simulate uses the simulated stage's).\n";

    std::string out;
    EXPECT_EQ(run({"--check-instruments"}, &out), 1);
    EXPECT_EQ(
        out,
        "Instrument               Link      Opens  Answers\n"
        "CM6K6 motion controller  COM2      no     no   not tried (the port gives code -7)\n"
        "    COM2 -> " +
            missing +
            " (set by TRELWICK_COM2)\n"
            "    Reason: not found (No such file or directory)\n"
            "    To do: check that the instrument's serial port or adapter is there, or set "
            "TRELWICK_COM2 to the device it is on\n"
            "EV-16P gauge counter     COM5      no     no   not tried (the port gives code -7)\n"
            "    COM5 -> " +
            folder +
            " (set by TRELWICK_COM5)\n"
            "    Reason: not a serial device (Is a directory)\n"
            "    To do: set TRELWICK_COM5 to a serial device (/dev/ttyS*, /dev/ttyUSB*)\n"
            "HP34970 DAQ unit         GPIB 1:9  no     no   not tried\n"
            "    GPIB 1:9 -> " +
            endpoint +
            " (set by TRELWICK_GPIB1_9)\n"
            "    Reason: connection refused\n"
            "    To do: check that the unit (or trelwick-sim) is running and listens on that "
            "port\n"
            "Folder                   Exists    Writable\n"
            "Run-log folder           no        no\n"
            "    C:\\CVI\\Trelwick\\Log -> " +
            log_dir + "\n    Reason: The run-log folder C:\\CVI\\Trelwick\\Log (" + log_dir +
            ") does not exist.\n    To do: Create it" + root_advice +
            "Motion-data folder       no        no\n"
            "    c:\\qel\\Exchange -> " +
            exchange_dir + "\n    Reason: The motion-data folder c:\\qel\\Exchange (" +
            exchange_dir + ") does not exist.\n    To do: Create it" + root_advice +
            "3 of 3 instruments do not answer: see the advice under them.\n"
            "2 of 2 folders are not in place: see the advice under them.\n");
}
