#include "platform/foundation/bundle.h"

#include <libintl.h>

#include <cstdlib>
#include <system_error>

namespace platform::foundation {

namespace {
constexpr const char* kTextDomain = "orvex";

std::vector<std::filesystem::path> defaultFolders() {
    // A folder named in the environment stands alone: it is the whole of the resources.
    if (const char* env = std::getenv("ORVEX_RESOURCES"); env && *env) return {env};
    std::vector<std::filesystem::path> folders;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) folders.push_back(exe.parent_path().parent_path() / "share" / "orvex");
    folders.emplace_back(ORVEX_INSTALLED_RESOURCES);
    folders.emplace_back(ORVEX_SOURCE_RESOURCES);
    return folders;
}
}  // namespace

Bundle::Bundle(std::vector<std::filesystem::path> folders) : folders_(std::move(folders)) {
    // Compiled translations live in <folder>/locale/<lang>/LC_MESSAGES/orvex.mo; a program
    // run from its build tree finds them where the build made them.
    std::vector<std::filesystem::path> catalogues;
    for (const auto& folder : folders_) catalogues.push_back(folder / "locale");
    catalogues.emplace_back(ORVEX_BUILD_LOCALE);
    for (const auto& catalogue : catalogues) {
        std::error_code ec;
        if (std::filesystem::is_directory(catalogue, ec)) {
            bindtextdomain(kTextDomain, catalogue.c_str());
            bind_textdomain_codeset(kTextDomain, "UTF-8");
            break;
        }
    }
}

Bundle& Bundle::main() {
    static Bundle bundle(defaultFolders());
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
