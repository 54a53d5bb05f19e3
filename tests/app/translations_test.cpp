#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> matches(const std::string& text, const std::regex& pattern) {
    std::set<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it)
        found.insert((*it)[1].str());
    return found;
}

// Every text the code or an interface resource asks to have translated.
std::set<std::string> translatedKeys() {
    const std::regex inCode(R"re((?:localized|localizedStringForKey)\("((?:[^"\\]|\\.)*)"\))re");
    const std::regex item(R"re(\bitem\("((?:[^"\\]|\\.)*)",)re");
    const std::regex label(R"re(rowLabel\("((?:[^"\\]|\\.)*)")re");
    const std::regex inResource(R"re("(?:text|title)": "((?:[^"\\]|\\.)*)")re");
    std::set<std::string> keys;
    const fs::path root = ORVEX_TEST_SOURCE_DIR;
    for (const char* folder : {"app", "capture", "preview", "platform", "resources"})
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const auto extension = entry.path().extension();
            const std::string text = contents(entry.path());
            if (extension == ".cpp") {
                for (const auto* pattern : {&inCode, &item, &label})
                    for (auto key : matches(text, *pattern)) keys.insert(key);
            } else if (extension == ".json") {
                for (auto key : matches(text, inResource))
                    if (key.find_first_not_of("0123456789:") != std::string::npos) keys.insert(key);
            }
        }
    return keys;
}

// A text added to the screens without a translation would show in English to a German or
// French user.
TEST(Translations, EveryCatalogueTranslatesEveryText) {
    const auto keys = translatedKeys();
    ASSERT_GT(keys.size(), 20u);
    const std::regex msgid(R"re(msgid "((?:[^"\\]|\\.)*)"\nmsgstr "((?:[^"\\]|\\.)+)")re");
    for (const char* language : {"de", "fr"}) {
        const std::string catalogue =
            contents(fs::path(ORVEX_TEST_SOURCE_DIR) / "po" / (std::string(language) + ".po"));
        const auto translated = matches(catalogue, msgid);
        for (const auto& key : keys)
            EXPECT_TRUE(translated.count(key)) << language << " lacks \"" << key << "\"";
    }
}

}  // namespace
