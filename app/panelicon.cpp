#include "panelicon.h"

#include <QDir>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace {

// Reading all of them up front, with the search for image plugins that comes
// first, cost a tenth of the start-up.
class EmbeddedIconEngine : public QIconEngine
{
public:
    EmbeddedIconEngine()
    {
        for (const QString &name : QDir(QStringLiteral(":/icon")).entryList({QStringLiteral("*.png")})) {
            const int side = name.section(QLatin1Char('.'), 0, 0).toInt();
            sizes.append(QSize(side, side));
        }
        std::sort(sizes.begin(), sizes.end(), [](const QSize &a, const QSize &b) { return a.width() < b.width(); });
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) const override { return sizes; }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const QSize source = nearest(size);
        return source.isEmpty() ? QSize() : source.scaled(size, Qt::KeepAspectRatio).boundedTo(source);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        const QSize source = nearest(size);
        if (source.isEmpty())
            return QPixmap();
        const QPixmap full(QStringLiteral(":/icon/%1.png").arg(source.width()));
        return full.size() == actualSize(size, mode, state)
                   ? full
                   : full.scaled(actualSize(size, mode, state), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QIconEngine *clone() const override { return new EmbeddedIconEngine(*this); }
    QString key() const override { return QStringLiteral("laserpanel-embedded"); }

private:
    // The smallest that is at least as large, else the largest.
    QSize nearest(const QSize &size) const
    {
        for (const QSize &s : sizes)
            if (s.width() >= size.width() && s.height() >= size.height())
                return s;
        return sizes.isEmpty() ? QSize() : sizes.last();
    }

    QList<QSize> sizes;
};

} // namespace

QIcon panelIcon()
{
    // The PNGs live in a static library, whose resource registration the
    // linker drops unless something names it (as for the catalogues).
    static const bool registered = [] {
        Q_INIT_RESOURCE(laserpanel_icon);
        return true;
    }();
    Q_UNUSED(registered)
    return QIcon(new EmbeddedIconEngine);
}
