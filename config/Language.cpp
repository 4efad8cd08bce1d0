#include "config/Language.h"

namespace config {

QString languageText(int languageIndex, const char* english, const char* russian) {
    return QString::fromUtf8(languageIndex == LanguageRussian ? russian : english);
}

} // namespace config
