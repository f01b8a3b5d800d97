#pragma once
// The branding configuration file next to the program: title, affiliate, banner, links, skin, icon.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vorlith {

class Workspace;
class LaterBanner;

inline constexpr std::string_view VersionText = "1.04";
inline constexpr std::string_view ConfigFileName = "dbconfig.dat";
inline constexpr std::string_view SkinFileName = "dbskin.dat";
inline constexpr std::string_view SettingsSection = "Settings";

// Draws an index from 0 to count-1 (count > 0). The program reseeds from the clock every draw.
using RandomDraw = std::function<std::size_t(std::size_t count)>;

// What LoadBranding chose and applied, for reports; the Workspace fields hold the rest.
struct BrandingResult {
    bool ConfigFound = false;
    std::string Title;           // empty when the title was left alone
    int BannerIndex = -1;        // k, the chosen banner's position among the present ones
    std::string BannerImageFile; // the stored image of the chosen banner
    std::string SkinFile;        // the skin file handed to the skin, if any
    bool SkinApplied = false;    // it held a skin
    std::string IconFile;        // the icon file loaded, if any
};

// The text after the last backslash or colon, or the whole value (a forward slash is no separator).
std::string_view FileNamePart(std::string_view value);
// The icon's name below the program folder: FileNamePart, cut to its last '/' step when it is
// absolute or holds a ".." step.
std::string_view IconFileName(std::string_view value);

// Reads "dbconfig.dat" in the program folder and applies it, in the fixed order of its steps.
// An error at the banner, skin or icon step throws and leaves the later steps undone. With later,
// a metafile banner is decoded by it while the steps go on.
void LoadBranding(Workspace& ws, LaterBanner* later = nullptr);
BrandingResult LoadBranding(Workspace& ws, const RandomDraw& draw, LaterBanner* later = nullptr);

} // namespace vorlith
