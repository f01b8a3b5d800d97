#pragma once
// Where the program keeps its side files. A portable copy (a build or run folder, an unpacked
// tree) uses the folder of its executable, as it always has. An installed copy, whose executable
// lies in the install prefix's bin folder, must never write there: it uses the user's data folder
// and reads its settings files from there, then from the system-wide settings folder.

#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

// The install locations compiled in from the build's install prefix.
struct InstallLayout {
    std::string BinFolder;      // "/usr/bin"
    std::string SettingsFolder; // "/etc/vorlith": branding for every user of an installed copy
};
InstallLayout CompiledInstallLayout();

struct ProgramFolders {
    bool Installed = false;
    // ProgramFolder, ending with "/": every file the program writes goes here.
    std::string Folder;
    // Where "dbconfig.dat" and "dbskin.dat" are looked for, in order, each ending with "/".
    // Folder alone for a portable copy; Folder, then the system-wide folder for an installed one.
    std::vector<std::string> SettingsFolders;
};

// True when the executable's folder is the bin folder (compared after lexical normalisation,
// so "/usr/bin/" and "/usr/./bin" match "/usr/bin"; "/usr/bin/sub" and "/usr/local/bin" do not).
bool IsInstalledCopy(std::string_view executableFolder, std::string_view binFolder);

// "$XDG_DATA_HOME/vorlith/", or "$HOME/.local/share/vorlith/" when XDG_DATA_HOME is unset, empty
// or relative (the base directory rules ignore relative paths). Empty when neither is absolute.
std::string UserDataFolder(std::string_view xdgDataHome, std::string_view home);

// The rule. Links in both folders are resolved first, so a copy started through a link to the bin
// folder (or a bin folder that is itself a link) counts as installed. Creates nothing.
ProgramFolders FindProgramFolders(std::string_view executableFolder, const InstallLayout& layout,
                                  std::string_view xdgDataHome, std::string_view home);

// The running program's folders, from the compiled-in layout and the environment. An installed
// copy's folder is created when it is missing; throws std::runtime_error when it cannot be (or
// when no home folder is known).
ProgramFolders RunningProgramFolders(std::string_view executableFolder);
ProgramFolders RunningProgramFolders(std::string_view executableFolder, const InstallLayout& layout);

// The copy's folders with the program folder chosen by the user (vorlith-cli --folder): the chosen
// folder replaces the executable's or the user's one; an installed copy still falls back to the
// system-wide settings. Creates nothing.
ProgramFolders ChosenProgramFolders(std::string_view executableFolder, std::string_view chosenFolder);
ProgramFolders ChosenProgramFolders(std::string_view executableFolder, std::string_view chosenFolder,
                                    const InstallLayout& layout);

// Where an installed copy's file dialogs open: the user's documents folder when it exists, else
// the home folder, else "/" (each ending with "/"). Users look for their files there, not in the
// hidden program folder.
std::string UserDocumentsFolder();

// A portable copy's folders for the given program folder: that folder alone.
ProgramFolders PortableProgramFolders(std::string_view folder);

// The first settings folder that holds the file; Folder + name when none does.
std::string FindSettingsFile(const ProgramFolders& folders, std::string_view name);

} // namespace vorlith
