#include "platform/foundation/language.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform::foundation {

namespace {

bool isPlainC(const char* locale) {
    return !locale || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0;
}

// The first of the variables that name the language of messages, as the C library reads them.
std::string requestedLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(variable); value && *value) return value;
    return {};
}

}  // namespace

void chooseLanguageFromEnvironment() {
    std::setlocale(LC_ALL, "");
    if (!isPlainC(std::setlocale(LC_MESSAGES, nullptr))) return;
    // Translations are looked up only outside the plain C locale; C.UTF-8 is everywhere.
    if (!std::setlocale(LC_ALL, "C.UTF-8")) return;
    const char* language = std::getenv("LANGUAGE");
    if (language && *language) return;
    const std::string requested = requestedLocale();
    if (requested.empty() || isPlainC(requested.c_str()) || requested.starts_with("C.")) return;
    // "de_DE.UTF-8@euro" asks for "de_DE"; gettext falls back from it to "de" itself.
    const std::string name = requested.substr(0, requested.find_first_of(".@"));
    setenv("LANGUAGE", name.c_str(), 1);
}

}  // namespace platform::foundation
