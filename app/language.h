#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;
class QTranslator;

namespace language {

// Where the build embeds the catalogues (translations/).
inline const QString kCatalogueDir = QStringLiteral(":/translations");

// Loads into translator the catalogue of the first language in uiLanguages
// (most wanted first, as QLocale::uiLanguages lists them) that has one, else
// the English one, and returns its file. Returns an empty path, loading
// nothing, when the original texts are the best fit: Chinese comes before any
// language with a catalogue, or no language is named at all (the C and POSIX
// locales name none).
QString load(QTranslator &translator, const QStringList &uiLanguages,
             const QString &dir = kCatalogueDir);

// Installs on app the catalogue for the desktop's languages. The window
// translates its texts once, when it is built, so call this before.
void install(QCoreApplication &app);

} // namespace language
