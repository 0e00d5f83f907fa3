#include "language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

// The catalogues live in a static library, whose resource registration the
// linker drops unless something names it. Q_INIT_RESOURCE must not be used
// inside a namespace.
static void registerCatalogues()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(laserpanel_translations);
        return true;
    }();
    Q_UNUSED(registered)
}

namespace language {

QString load(QTranslator &translator, const QStringList &uiLanguages, const QString &dir)
{
    registerCatalogues();
    bool named = false;
    for (QString tag : uiLanguages) {
        tag.replace(QLatin1Char('-'), QLatin1Char('_'));
        const QString primary = tag.section(QLatin1Char('_'), 0, 0).toLower();
        if (primary == QLatin1String("c") || primary == QLatin1String("posix"))
            continue;
        // The source texts are Chinese: a Chinese desktop that also lists
        // English as a fallback wants them, not the English catalogue.
        if (primary == QLatin1String("zh"))
            return QString();
        // load() drops "_US" and the like from the end until a file matches.
        if (translator.load(QStringLiteral("laserpanel_") + tag, dir))
            return translator.filePath();
        named = true;
    }
    // A reader of none of them more likely reads English than Chinese.
    if (named && translator.load(QStringLiteral("laserpanel_en"), dir))
        return translator.filePath();
    return QString();
}

void install(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    if (load(*translator, QLocale::system().uiLanguages()).isEmpty())
        delete translator;
    else
        app.installTranslator(translator);
}

} // namespace language
