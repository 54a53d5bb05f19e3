#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::foundation {

// The application's resources: pictures, sounds, interface resources and translations,
// looked up by file name in the resource folders, first match wins.
class Bundle {
  public:
    // `catalogues` holds the compiled translations, <lang>/LC_MESSAGES/orvex.mo.
    Bundle(std::vector<std::filesystem::path> folders, std::filesystem::path catalogues);

    // $ORVEX_RESOURCES if set; else the installed copy; else, run from the build tree, the
    // source tree's resources with the build's translations.
    static Bundle& main();

    std::optional<std::filesystem::path> pathForResource(std::string_view name,
                                                         std::string_view type) const;
    std::optional<std::filesystem::path> pathForFile(std::string_view fileName) const;
    const std::vector<std::filesystem::path>& folders() const { return folders_; }
    const std::filesystem::path& catalogues() const { return catalogues_; }

    // The translation of `key` in the default string table; the key itself without one.
    std::string localizedStringForKey(const std::string& key) const;

  private:
    std::vector<std::filesystem::path> folders_;
    std::filesystem::path catalogues_;
};

}  // namespace platform::foundation
