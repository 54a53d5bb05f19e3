#include "platform/foundation/bundle.h"

#include <libintl.h>

#include <cstdlib>
#include <system_error>
#include <tuple>
#include <utility>

namespace platform::foundation {

namespace {
constexpr const char* kTextDomain = "orvex";

bool isFolder(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

// One place holds everything: a folder named in the environment; else, for a program run
// from its build tree, the source tree's resources and the build's translations; else the
// copy installed beside the program (<prefix>/bin/orvex finds <prefix>/share/orvex), or
// where the build was configured to install it. An installed program never reads the
// source or build tree.
std::pair<std::vector<std::filesystem::path>, std::filesystem::path> defaultLocation() {
    if (const char* env = std::getenv("ORVEX_RESOURCES"); env && *env)
        return {{env}, std::filesystem::path(env) / "locale"};
    const std::pair<std::vector<std::filesystem::path>, std::filesystem::path> buildTree = {
        {ORVEX_SOURCE_RESOURCES}, ORVEX_BUILD_LOCALE};
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || isInside(exe, std::filesystem::path(ORVEX_BUILD_LOCALE).parent_path()))
        return buildTree;
    const auto beside = exe.parent_path().parent_path() / "share" / "orvex";
    if (isFolder(beside)) return {{beside}, beside / "locale"};
    const std::filesystem::path installed = ORVEX_INSTALLED_RESOURCES;
    if (isFolder(installed)) return {{installed}, installed / "locale"};
    return buildTree;
}
}  // namespace

Bundle::Bundle(std::vector<std::filesystem::path> folders, std::filesystem::path catalogues)
    : folders_(std::move(folders)), catalogues_(std::move(catalogues)) {
    // Compiled translations live in <catalogues>/<lang>/LC_MESSAGES/orvex.mo.
    bindtextdomain(kTextDomain, catalogues_.c_str());
    bind_textdomain_codeset(kTextDomain, "UTF-8");
}

Bundle& Bundle::main() {
    static Bundle bundle = std::make_from_tuple<Bundle>(defaultLocation());
    return bundle;
}

std::optional<std::filesystem::path> Bundle::pathForFile(std::string_view fileName) const {
    if (fileName.empty() || fileName.find('/') != std::string_view::npos) return std::nullopt;
    for (const auto& folder : folders_) {
        std::error_code ec;
        const auto candidate = folder / fileName;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> Bundle::pathForResource(std::string_view name,
                                                             std::string_view type) const {
    std::string fileName(name);
    if (!type.empty()) fileName.append(".").append(type);
    return pathForFile(fileName);
}

std::string Bundle::localizedStringForKey(const std::string& key) const {
    return dgettext(kTextDomain, key.c_str());
}

}  // namespace platform::foundation
