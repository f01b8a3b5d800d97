#include "platform/ProgramFolder.h"

#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>

namespace vorlith {
namespace {

namespace fs = std::filesystem;

struct InstalledCase {
    const char* executableFolder;
    const char* binFolder;
    bool installed;
};

class IsInstalledCopyTest : public ::testing::TestWithParam<InstalledCase> {};

TEST_P(IsInstalledCopyTest, OnlyTheBinFolderItselfIsInstalled) {
    const auto& c = GetParam();
    EXPECT_EQ(IsInstalledCopy(c.executableFolder, c.binFolder), c.installed)
        << c.executableFolder << " against " << c.binFolder;
}

INSTANTIATE_TEST_SUITE_P(Folders, IsInstalledCopyTest,
                         ::testing::Values(InstalledCase{"/usr/bin", "/usr/bin", true},
                                           InstalledCase{"/usr/bin/", "/usr/bin", true},
                                           InstalledCase{"/usr/./bin", "/usr/bin/", true},
                                           InstalledCase{"/usr/lib/../bin", "/usr/bin", true},
                                           InstalledCase{"/usr/local/bin", "/usr/bin", false},
                                           InstalledCase{"/usr/bin/sub", "/usr/bin", false},
                                           InstalledCase{"/usr/bin2", "/usr/bin", false},
                                           InstalledCase{"/usr", "/usr/bin", false},
                                           InstalledCase{"/tmp/unpacked/usr/bin", "/usr/bin", false},
                                           InstalledCase{"/home/ann/vorlith/build", "/usr/bin", false},
                                           InstalledCase{"", "/usr/bin", false},
                                           InstalledCase{"/usr/bin", "", false}));

struct DataFolderCase {
    const char* xdgDataHome;
    const char* home;
    const char* folder;
};

class UserDataFolderTest : public ::testing::TestWithParam<DataFolderCase> {};

TEST_P(UserDataFolderTest, FollowsTheBaseDirectoryRules) {
    const auto& c = GetParam();
    EXPECT_EQ(UserDataFolder(c.xdgDataHome, c.home), c.folder);
}

INSTANTIATE_TEST_SUITE_P(
    Environment, UserDataFolderTest,
    ::testing::Values(DataFolderCase{"", "/home/ann", "/home/ann/.local/share/vorlith/"},
                      DataFolderCase{"", "/home/ann/", "/home/ann/.local/share/vorlith/"},
                      DataFolderCase{"/data/ann", "/home/ann", "/data/ann/vorlith/"},
                      DataFolderCase{"/data/ann/", "/home/ann", "/data/ann/vorlith/"},
                      // A relative XDG_DATA_HOME is ignored, not taken from the
                      // current folder.
                      DataFolderCase{"data", "/home/ann", "/home/ann/.local/share/vorlith/"},
                      DataFolderCase{"data", "", ""}, DataFolderCase{"", "", ""},
                      DataFolderCase{"", "relative/home", ""}));

class ProgramFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        fs::create_directories(Path("usr/bin"));
        fs::create_directories(Path("etc/vorlith"));
        fs::create_directories(Path("build"));
        layout_ = {Path("usr/bin"), Path("etc/vorlith")};
    }
    std::string Path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }
    static void Write(const std::string& file, const std::string& text) { std::ofstream(file) << text; }

    QTemporaryDir dir_;
    InstallLayout layout_;
};

TEST_F(ProgramFoldersTest, APortableCopyKeepsItsOwnFolderAndNothingElse) {
    const ProgramFolders folders = FindProgramFolders(Path("build"), layout_, Path("data"), Path("home"));
    EXPECT_FALSE(folders.Installed);
    EXPECT_EQ(folders.Folder, Path("build/"));
    EXPECT_EQ(folders.SettingsFolders, std::vector<std::string>{Path("build/")});

    // Branding only in the system-wide folder does not reach a portable copy.
    Write(Path("etc/vorlith/dbconfig.dat"), "[Settings]\n");
    EXPECT_EQ(FindSettingsFile(folders, "dbconfig.dat"), Path("build/dbconfig.dat"));
}

TEST_F(ProgramFoldersTest, AnInstalledCopyWritesToTheUserFolderAndReadsSettingsThereFirst) {
    const ProgramFolders folders = FindProgramFolders(Path("usr/bin"), layout_, Path("data"), Path("home"));
    ASSERT_TRUE(folders.Installed);
    EXPECT_EQ(folders.Folder, Path("data/vorlith/"));
    EXPECT_EQ(folders.SettingsFolders,
              (std::vector<std::string>{Path("data/vorlith/"), Path("etc/vorlith/")}));

    // Missing everywhere: named in the user's folder, where the user would put it.
    EXPECT_EQ(FindSettingsFile(folders, "dbskin.dat"), Path("data/vorlith/dbskin.dat"));
    Write(Path("etc/vorlith/dbskin.dat"), "system");
    EXPECT_EQ(FindSettingsFile(folders, "dbskin.dat"), Path("etc/vorlith/dbskin.dat"));
    fs::create_directories(Path("data/vorlith"));
    Write(Path("data/vorlith/dbskin.dat"), "user");
    EXPECT_EQ(FindSettingsFile(folders, "dbskin.dat"), Path("data/vorlith/dbskin.dat"));
    // A folder of that name is no settings file.
    fs::create_directories(Path("data/vorlith/dbconfig.dat"));
    Write(Path("etc/vorlith/dbconfig.dat"), "[Settings]\n");
    EXPECT_EQ(FindSettingsFile(folders, "dbconfig.dat"), Path("etc/vorlith/dbconfig.dat"));
}

TEST_F(ProgramFoldersTest, LinksToTheBinFolderCountAsInstalled) {
    fs::create_directory_symlink(Path("usr/bin"), Path("bin"));
    EXPECT_TRUE(FindProgramFolders(Path("bin"), layout_, "", Path("home")).Installed);
    EXPECT_TRUE(
        FindProgramFolders(Path("usr/bin"), {Path("bin"), Path("etc/vorlith")}, "", Path("home")).Installed);
    EXPECT_FALSE(
        FindProgramFolders(Path("build"), {Path("bin"), Path("etc/vorlith")}, "", Path("home")).Installed);
}

TEST_F(ProgramFoldersTest, AChosenFolderReplacesTheProgramFolderOnly) {
    const ProgramFolders installed = ChosenProgramFolders(Path("usr/bin"), Path("mine"), layout_);
    EXPECT_TRUE(installed.Installed);
    EXPECT_EQ(installed.Folder, Path("mine/"));
    EXPECT_EQ(installed.SettingsFolders, (std::vector<std::string>{Path("mine/"), Path("etc/vorlith/")}));
    const ProgramFolders portable = ChosenProgramFolders(Path("build"), Path("mine/"), layout_);
    EXPECT_FALSE(portable.Installed);
    EXPECT_EQ(portable.SettingsFolders, std::vector<std::string>{Path("mine/")});
    EXPECT_FALSE(fs::exists(Path("mine")));
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(ProgramFoldersTest, TheRunningInstalledCopyCreatesItsFolderAtFirstStart) {
    const ScopedEnv data("XDG_DATA_HOME", Path("data"));
    const ProgramFolders folders = RunningProgramFolders(Path("usr/bin"), layout_);
    EXPECT_EQ(folders.Folder, Path("data/vorlith/"));
    EXPECT_TRUE(fs::is_directory(Path("data/vorlith")));
    // The second start finds it.
    EXPECT_EQ(RunningProgramFolders(Path("usr/bin"), layout_).Folder, Path("data/vorlith/"));
    EXPECT_TRUE(fs::is_empty(Path("usr/bin")));
}

TEST_F(ProgramFoldersTest, TheRunningPortableCopyCreatesNothing) {
    const ScopedEnv data("XDG_DATA_HOME", Path("data"));
    EXPECT_EQ(RunningProgramFolders(Path("build"), layout_).Folder, Path("build/"));
    EXPECT_FALSE(fs::exists(Path("data")));
}

TEST_F(ProgramFoldersTest, AFolderThatCannotBeMadeIsAClearError) {
    Write(Path("data"), "a file where the data folder should be");
    const ScopedEnv data("XDG_DATA_HOME", Path("data"));
    try {
        RunningProgramFolders(Path("usr/bin"), layout_);
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(Path("data/vorlith/")), std::string::npos) << error.what();
    }
}

// A data folder that is a dangling link says so, not "File exists".
TEST_F(ProgramFoldersTest, ADanglingDataFolderSaysWhy) {
    fs::create_directories(Path("data"));
    fs::create_symlink(Path("nowhere"), Path("data/vorlith"));
    const ScopedEnv data("XDG_DATA_HOME", Path("data"));
    try {
        RunningProgramFolders(Path("usr/bin"), layout_);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("a link to " + Path("nowhere")), std::string::npos) << error.what();
    }
}

TEST_F(ProgramFoldersTest, NoHomeIsAClearErrorNotTheCurrentFolder) {
    const ScopedEnv data("XDG_DATA_HOME", "");
    const ScopedEnv home("HOME", "relative");
    EXPECT_THROW(RunningProgramFolders(Path("usr/bin"), layout_), std::runtime_error);
    EXPECT_FALSE(fs::exists("relative"));
}

} // namespace
} // namespace vorlith
