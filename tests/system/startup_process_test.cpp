// The program as the operator starts it: with its resource file missing it reports on the
// console; "x" then Enter ends it with status 0, Enter alone goes on into the event loop,
// and with no line at all it asks in a pop-up instead.
#include <QProcess>
#include <QProcessEnvironment>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

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
