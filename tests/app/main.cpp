// The window tests share one application and one set of windows, created in
// the start-up order inside a scratch directory (the settings file is written
// to the current directory).

#include "tests/app/AppFixture.h"

#include <gtest/gtest.h>

#include "app/Application.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string dir = (std::filesystem::temp_directory_path() / "silvane-app-XXXXXX").string();
    if (!mkdtemp(dir.data()) || chdir(dir.c_str()) != 0)
        return 1;
    app::SilvaneApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    apptest::destroyWindows();
    std::error_code ec;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ec);
    std::filesystem::remove_all(dir, ec);
    return rc;
}
