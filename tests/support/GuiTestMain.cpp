// Runs a GoogleTest program of widget tests: offscreen, with settings and runtime files in a
// directory of its own, so no test touches the user's settings or needs a display.
#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

int main(int argc, char** argv) {
    // A test program may ask for an offscreen screen of its own, shown at twice the scale.
    if (const char* screen = std::getenv("MORVIK_TEST_DOUBLED_SCREEN")) {
        ::setenv("QT_QPA_PLATFORM", (std::string("offscreen:configfile=") + screen).c_str(), 1);
        ::setenv("QT_SCALE_FACTOR", "2", 1);
    } else {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    std::string home = (std::filesystem::temp_directory_path() / "morvik-gui-test-XXXXXX").string();
    if (::mkdtemp(home.data()) == nullptr) {
        return 2;
    }
    const std::string config = home + "/config";
    const std::string runtime = home + "/runtime";
    const std::string data = home + "/data";
    std::filesystem::create_directories(config);
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    ::unsetenv("MORVIK_HELP_VIEWER");

    int result = 0;
    {
        QApplication application(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
