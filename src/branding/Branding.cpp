#include "branding/Branding.h"

#include "branding/Banner.h"
#include "branding/SkinFile.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/QStringBytes.h"
#include "platform/Random.h"
#include "workspace/Workspace.h"

#include <QImageReader>
#include <algorithm>
#include <stdexcept>
#include <vector>

namespace vorlith {

namespace {

void CheckIconFile(const std::string& file) {
    if (!IsRegularFile(file)) // a FIFO would block the reader for ever
        throw std::runtime_error("The icon file " + file + " is no icon.");
    QImageReader reader(ToQString(file));
    reader.setDecideFormatFromContent(true);
    if (reader.format() != "ico")
        throw std::runtime_error("The icon file " + file + " is no icon.");
    if (reader.read().isNull())
        throw std::runtime_error("Cannot load the icon file " + file + ": " + ToBytes(reader.errorString()));
}

void WarnIfNotAFile(Workspace& ws, const std::string& path) {
    if (const std::string warning = NotAFileWarning(path); !warning.empty())
        ws.Ui.ShowMessage(MessageKind::Warning, warning, MessageButtons::Ok);
}

} // namespace

std::string_view FileNamePart(std::string_view value) {
    const auto separator = value.find_last_of("\\:");
    return separator == std::string_view::npos ? value : value.substr(separator + 1);
}

std::string_view IconFileName(std::string_view value) {
    const std::string_view part = FileNamePart(value);
    // A subfolder below the program folder is fine; a way out of it keeps only the name.
    bool leaves = part.starts_with('/');
    for (std::size_t start = 0; !leaves && start <= part.size();) {
        const std::size_t end = std::min(part.find('/', start), part.size());
        leaves = part.substr(start, end - start) == "..";
        start = end + 1;
    }
    return leaves ? part.substr(part.rfind('/') + 1) : part;
}

void LoadBranding(Workspace& ws, LaterBanner* later) {
    LoadBranding(ws, RandomIndex, later);
}

BrandingResult LoadBranding(Workspace& ws, const RandomDraw& draw, LaterBanner* later) {
    BrandingResult result;
    // An installed copy falls back to the system-wide branding; a portable one reads its own folder.
    const std::string config = ws.SettingsFile(ConfigFileName);
    if (!IsRegularFile(config)) {
        WarnIfNotAFile(ws, config);
        return result;
    }
    result.ConfigFound = true;
    const auto read = [&](const std::string& key) { return ReadIniString(config, SettingsSection, key); };

    // Title: AppName or the default, then the version suffix in every case.
    const std::string appName = read("AppName");
    result.Title = (appName.empty() ? std::string(DefaultTitle) : appName) + " v" + std::string(VersionText);
    ws.Ui.SetTitle(result.Title);

    if (std::string affiliate = read("AfiliateID"); !affiliate.empty())
        ws.AffiliateID = std::move(affiliate);

    std::vector<std::string> bannerPaths, bannerURLs;
    for (int slot = 1; slot <= 3; ++slot) {
        std::string path = read("BannerPath" + std::to_string(slot));
        if (path.empty())
            continue;
        bannerPaths.push_back(std::move(path));
        bannerURLs.push_back(read("BannerURL" + std::to_string(slot)));
    }
    if (!bannerPaths.empty()) {
        const std::size_t k = std::min(draw(bannerPaths.size()), bannerPaths.size() - 1);
        ws.BannerURL = bannerURLs[k];
        ws.BannerPath = bannerPaths[k];
        result.BannerIndex = static_cast<int>(k);
        result.BannerImageFile = BannerImageFile(ws, result.BannerIndex);
    }
    if (!ws.BannerURL.empty())
        ws.Ui.SetBannerHandCursor();
    if (!ws.BannerPath.empty())
        LoadBanner(ws, result.BannerIndex, later);
    else
        ws.Ui.HideBannerStrip();

    std::vector<std::string> linkURLs, linkNames;
    for (int slot = 1; slot <= 4; ++slot) {
        std::string url = read("Link" + std::to_string(slot) + "URL");
        if (url.empty())
            continue;
        linkURLs.push_back(std::move(url));
        linkNames.push_back(read("Link" + std::to_string(slot) + "Name"));
    }
    if (!linkURLs.empty()) {
        std::size_t k = std::min(draw(linkURLs.size()), linkURLs.size() - 1);
        ws.Link1URL = linkURLs[k];
        ws.Link1Name = linkNames[k];
        linkURLs.erase(linkURLs.begin() + static_cast<std::ptrdiff_t>(k));
        linkNames.erase(linkNames.begin() + static_cast<std::ptrdiff_t>(k));
        if (!linkURLs.empty()) {
            k = std::min(draw(linkURLs.size()), linkURLs.size() - 1);
            ws.Link2URL = linkURLs[k];
            ws.Link2Name = linkNames[k];
        }
    }
    ws.Ui.SetLinkLabel(1, ws.Link1Name, ws.Link1URL);
    ws.Ui.SetLinkLabel(2, ws.Link2Name, ws.Link2URL);

    if (const std::string skin = ws.SettingsFile(SkinFileName); !FileExists(skin)) {
        WarnIfNotAFile(ws, skin);
    } else {
        result.SkinFile = skin;
        if (const auto styleSheet = ReadSkinFile(skin)) {
            ws.Ui.ApplySkinStyleSheet(KeepOnlyFileUrls(*styleSheet));
            result.SkinApplied = true;
        }
    }

    if (std::string icon = read("IconPath"); !icon.empty())
        ws.IconPath = std::move(icon);
    if (const std::string iconFile = ws.ProgramFolder + std::string(IconFileName(ws.IconPath));
        FileExists(iconFile)) {
        CheckIconFile(iconFile);
        ws.Ui.SetApplicationIcon(iconFile);
        result.IconFile = iconFile;
    }
    return result;
}

} // namespace vorlith
