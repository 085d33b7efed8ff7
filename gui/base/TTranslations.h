#pragma once
// Qt's own texts (standard buttons, the file dialog, the menu of text
// fields) in the user's language, from the translations Qt installs
// (Debian: qt6-translations-l10n). The program's own texts are Japanese.

#include <QLocale>

class QTranslator;

class TTranslations {
  public:
    // Installs Qt's translation for `locale` when one is installed and
    // returns it (owned by the application), else nullptr.
    static QTranslator* Load(const QLocale& locale = QLocale());
};
