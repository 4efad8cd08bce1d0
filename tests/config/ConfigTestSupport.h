#pragma once
// Shared by the configuration tests: each test runs in a fresh temporary
// directory (the settings file lives in the current directory), message
// boxes are recorded instead of shown, and the sound devices come from a
// virtual card with a chosen number of devices.

#include "gui/MessageBox.h"
#include "platform/VirtualCard.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

class InTempDir : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "silvane-config-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        std::filesystem::current_path(dir_);
        messages.clear();
        gui::setMessageBoxHook([this](const QString& text, const QString& caption) {
            messages << text;
            captions << caption;
        });
        useDevices(1, 1);
    }
    void TearDown() override {
        gui::setMessageBoxHook({});
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }

    // The wave layer's devices for the windows created next.
    static void useDevices(unsigned outputs, unsigned inputs) {
        platform::VirtualCardConfig c;
        c.testClock = true;
        c.outputs = outputs;
        c.inputs = inputs;
        ASSERT_TRUE(platform::installVirtualCard(c));
    }

    std::string iniPath() const { return (dir_ / "SV.ini").string(); }
    void writeIni(const std::string& text) const {
        std::ofstream(iniPath(), std::ios::binary) << text;
    }
    std::string readIni() const {
        std::ifstream in(iniPath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    QStringList messages;
    QStringList captions;
    std::filesystem::path dir_;
    std::filesystem::path previous_;
};
