#pragma once
// The interface language and the one way a two-language text is chosen.
// Every text the program shows in English or Russian goes through
// languageText; code that leaves its texts alone for an index outside the
// two languages asks isLanguage first.

#include <QString>

namespace config {

enum InterfaceLanguage { LanguageEnglish = 0, LanguageRussian = 1 };

// True for 0 (English) and 1 (Russian).
inline bool isLanguage(int languageIndex) {
    return languageIndex == LanguageEnglish || languageIndex == LanguageRussian;
}

// One text in two languages, both given as UTF-8: the Russian one for index
// 1, the English one otherwise.
QString languageText(int languageIndex, const char* english, const char* russian);

} // namespace config
