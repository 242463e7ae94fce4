// The language of Quado's own texts (menus, windows, messages): English or
// German, from the system, --language, or Options > Language at run time.
// What the board sends, and what Quado writes for programs to read, keeps
// its wording whatever the language.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class UiLanguage { English, German };

// "en" or "de"; nothing for any other code.
std::optional<UiLanguage> LanguageFromCode(std::string_view strCode);
const char* LanguageCode(UiLanguage nLanguage);

// The first language the system's settings (LANGUAGE, LC_ALL, LC_MESSAGES,
// LANG) ask for that Quado speaks; English when they ask for none of them.
UiLanguage SystemLanguage();

// What a start shows: --language's code ("en", "de") when one was given,
// else the system's language.
UiLanguage StartLanguage(const std::string& strOption);

// The language now shown.
UiLanguage CurrentLanguage();

// Needs the application object. Loads the catalogue (and the toolkit's own,
// for its standard dialogs, when the system has it) or drops it for English;
// every widget then hears QEvent::LanguageChange. False, with English kept,
// when the catalogue cannot be loaded.
bool ApplyLanguage(UiLanguage nLanguage);
