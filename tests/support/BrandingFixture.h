#pragma once
// A program folder in a temporary directory, a scripted window and a fake shell, and the small
// images the banner tests load.

#include "platform/Shell.h"
#include "support/FakeShell.h"
#include "support/ScriptedUi.h"
#include "workspace/Workspace.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace vorlith::test {

// A 40 by 20 GIF of two frames (red, blue) that loops for ever.
inline const std::string TwoFrameGif("\x47\x49\x46\x38\x39\x61\x28\x00\x14\x00\xf0\x00\x00\xff\x00\x00\x00"
                                     "\x00\x00\x21\xf9\x04\x00\x00\x00\x00\x00"
                                     "\x21\xff\x0b\x4e\x45\x54\x53\x43\x41\x50\x45\x32\x2e\x30\x03\x01\x00"
                                     "\x00\x00\x2c\x00\x00\x00\x00\x28\x00\x14"
                                     "\x00\x00\x02\x1a\x84\x8f\xa9\xcb\xed\x0f\xa3\x9c\xb4\xda\x8b\xb3\xde"
                                     "\xbc\xfb\x0f\x86\xe2\x48\x96\xe6\x89\xa6"
                                     "\xea\x8a\x15\x00\x21\xf9\x04\x00\x00\x00\x00\x00\x2c\x00\x00\x00\x00"
                                     "\x28\x00\x14\x00\x80\x00\x00\xff\x00\x00"
                                     "\x00\x02\x1a\x84\x8f\xa9\xcb\xed\x0f\xa3\x9c\xb4\xda\x8b\xb3\xde\xbc"
                                     "\xfb\x0f\x86\xe2\x48\x96\xe6\x89\xa6\xea"
                                     "\x8a\x15\x00\x3b",
                                     139);

// A picture of the given size encoded in a Qt format ("BMP", "JPEG", "ICO", "PNG").
inline std::string EncodedPicture(int width, int height, const char* format) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, format)) << format;
    return bytes.toStdString();
}

class BrandingTest : public ::testing::Test {
protected:
    explicit BrandingTest(const std::string& subfolder = "") {
        EXPECT_TRUE(dir_.isValid());
        folder_ = dir_.path().toStdString() + "/" + subfolder;
        std::filesystem::create_directories(folder_);
        ws_ = std::make_unique<Workspace>(ui, folder_);
        ws_->Shell = &shell;
    }

    Workspace& ws() { return *ws_; }
    const std::string& Folder() const { return ws_->ProgramFolder; }

    void Write(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(Folder() + name).parent_path());
        std::ofstream out(Folder() + name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    void Config(const std::string& settings) { Write("dbconfig.dat", "[Settings]\r\n" + settings); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(Folder() + name); }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Folder()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Draws answered from a script; an unscripted draw fails the test.
    std::deque<std::size_t> draws;
    std::vector<std::size_t> drawCounts;
    std::size_t Draw(std::size_t count) {
        drawCounts.push_back(count);
        if (draws.empty()) {
            ADD_FAILURE() << "unexpected draw over " << count;
            return 0;
        }
        const std::size_t k = draws.front();
        draws.pop_front();
        return k;
    }
    auto Drawer() {
        return [this](std::size_t count) { return Draw(count); };
    }

    ScriptedUi ui;
    FakeShell shell;

private:
    QTemporaryDir dir_;
    std::string folder_;
    std::unique_ptr<Workspace> ws_;
};

} // namespace vorlith::test
