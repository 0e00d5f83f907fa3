#include "uifont.h"

#include <fontconfig/fontconfig.h>

namespace {

// Whether an installed font has this family, under any of its names (they
// are localised: "文泉驿微米黑" under zh_CN), and covers Chinese.
bool drawsChinese(const QString &family)
{
    const QByteArray name = family.toUtf8();
    FcPattern *pattern = FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, name.constData(),
                                        FC_LANG, FcTypeString, "zh-cn", static_cast<char *>(nullptr));
    FcObjectSet *objects = FcObjectSetBuild(FC_FAMILY, static_cast<char *>(nullptr));
    FcFontSet *fonts = pattern && objects ? FcFontList(nullptr, pattern, objects) : nullptr;
    const bool found = fonts && fonts->nfont > 0;
    if (fonts)
        FcFontSetDestroy(fonts);
    if (objects)
        FcObjectSetDestroy(objects);
    if (pattern)
        FcPatternDestroy(pattern);
    return found;
}

} // namespace

namespace platform {

// A Latin-only family sends every Chinese text to fontconfig's fallback: a
// second font per size, found by ranking all installed fonts, and measured at
// a third of the window's start-up. One family that draws both needs neither.
QFont fontForChineseAndLatin(const QFont &desktop)
{
    if (drawsChinese(desktop.family()))
        return desktop;
    // The fallback fontconfig itself prefers first, so Chinese looks as before;
    // each of these draws Latin too.
    for (const char *family : {"Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei", "WenQuanYi Zen Hei"}) {
        if (drawsChinese(QLatin1String(family))) {
            QFont font = desktop;
            font.setFamily(QLatin1String(family));
            return font;
        }
    }
    return desktop;
}

} // namespace platform
