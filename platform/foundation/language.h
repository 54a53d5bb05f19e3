#pragma once

namespace platform::foundation {

// Sets the process's locale from the environment, as a program should at start. On a
// machine that lacks the user's locale (many servers and containers hold only C.UTF-8), the
// texts are still translated into the language that LANGUAGE, LC_ALL, LC_MESSAGES or LANG
// name: the C library would otherwise ignore them all.
void chooseLanguageFromEnvironment();

}  // namespace platform::foundation
