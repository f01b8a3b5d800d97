#include "platform/ProgramFolder.h"

#include "platform/Files.h"
#include "platform/QStringBytes.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

#ifndef VORLITH_INSTALL_BINDIR
#define VORLITH_INSTALL_BINDIR "/usr/bin"
#endif
#ifndef VORLITH_INSTALL_SETTINGSDIR
#define VORLITH_INSTALL_SETTINGSDIR "/etc/vorlith"
#endif

namespace vorlith {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view DataFolderName = "vorlith";

// Lexically normal, without a trailing separator (except for "/" itself).
std::string Normal(std::string_view folder) {
    std::string text = fs::path(folder).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// Links resolved as far as the path exists; the path as given when it cannot be resolved.
std::string Resolved(std::string_view folder) {
    if (folder.empty())
        return {};
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(fs::path(folder), error);
    return error ? std::string(folder) : canonical.string();
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeFolder() {
    if (std::string home = Environment("HOME"); !home.empty())
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

} // namespace

InstallLayout CompiledInstallLayout() {
    return {VORLITH_INSTALL_BINDIR, VORLITH_INSTALL_SETTINGSDIR};
}

bool IsInstalledCopy(std::string_view executableFolder, std::string_view binFolder) {
    if (executableFolder.empty() || binFolder.empty())
        return false;
    return Normal(executableFolder) == Normal(binFolder);
}

std::string UserDataFolder(std::string_view xdgDataHome, std::string_view home) {
    std::string base;
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/')
        base = xdgDataHome;
    else if (!home.empty() && home.front() == '/')
        base = WithSlash(std::string(home)) + ".local/share";
    else
        return {};
    return WithSlash(Normal(WithSlash(base) + std::string(DataFolderName)));
}

ProgramFolders FindProgramFolders(std::string_view executableFolder, const InstallLayout& layout,
                                  std::string_view xdgDataHome, std::string_view home) {
    ProgramFolders folders;
    folders.Installed = IsInstalledCopy(Resolved(executableFolder), Resolved(layout.BinFolder));
    if (!folders.Installed) // exactly the executable's folder as given, as a portable copy always used it
        return PortableProgramFolders(executableFolder);
    folders.Folder = UserDataFolder(xdgDataHome, home);
    folders.SettingsFolders = {folders.Folder, WithSlash(layout.SettingsFolder)};
    return folders;
}

std::string UserDocumentsFolder() {
    for (const QString& folder :
         {QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), QDir::homePath()}) {
        if (!folder.isEmpty() && QDir::isAbsolutePath(folder) && QDir(folder).exists())
            return WithSlash(ToBytes(folder));
    }
    return "/";
}

ProgramFolders RunningProgramFolders(std::string_view executableFolder) {
    return RunningProgramFolders(executableFolder, CompiledInstallLayout());
}

ProgramFolders RunningProgramFolders(std::string_view executableFolder, const InstallLayout& layout) {
    ProgramFolders folders =
        FindProgramFolders(executableFolder, layout, Environment("XDG_DATA_HOME"), HomeFolder());
    if (!folders.Installed)
        return folders;
    if (folders.Folder.empty())
        throw std::runtime_error("Cannot find the home folder for the program's files: HOME is not set.");
    // Without the trailing slash, so that a link is looked at and not followed.
    const fs::path named(Normal(folders.Folder));
    const auto cannotUse = [&](const std::string& why) {
        return std::runtime_error("Cannot use the program's folder " + folders.Folder + ": " + why);
    };
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(named, error)) && !fs::exists(fs::status(named, error))) {
        const fs::path target = fs::read_symlink(named, error);
        throw cannotUse("it is a link to " + target.string() + ", which does not exist");
    }
    fs::create_directories(named, error);
    if (error || !fs::is_directory(named))
        throw std::runtime_error(
            "Cannot create the program's folder " + folders.Folder + ": " +
            (error ? error.message() : std::string("a file of that name is in the way")));
    // The scratch file and the update description are written there.
    if (::access(named.c_str(), W_OK | X_OK) != 0)
        throw cannotUse("it cannot be written");
    return folders;
}

ProgramFolders ChosenProgramFolders(std::string_view executableFolder, std::string_view chosenFolder) {
    return ChosenProgramFolders(executableFolder, chosenFolder, CompiledInstallLayout());
}

ProgramFolders ChosenProgramFolders(std::string_view executableFolder, std::string_view chosenFolder,
                                    const InstallLayout& layout) {
    ProgramFolders folders = FindProgramFolders(executableFolder, layout, "", "");
    folders.Folder = WithSlash(std::string(chosenFolder));
    folders.SettingsFolders.front() = folders.Folder;
    return folders;
}

ProgramFolders PortableProgramFolders(std::string_view folder) {
    std::string withSlash = WithSlash(std::string(folder));
    return {false, withSlash, {withSlash}};
}

std::string FindSettingsFile(const ProgramFolders& folders, std::string_view name) {
    for (const auto& folder : folders.SettingsFolders)
        if (std::string file = folder + std::string(name); FileExists(file))
            return file;
    return folders.Folder + std::string(name);
}

} // namespace vorlith
