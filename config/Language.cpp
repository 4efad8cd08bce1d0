#include "config/Language.h"

QString languageText(int languageIndex, const char* english, const char* russian) {
    return QString::fromUtf8(languageIndex == LanguageRussian ? russian : english);
}
