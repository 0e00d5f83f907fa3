#include "lineformat.h"

#include "csvrecord.h"
#include "jsonrecord.h"

namespace cli {

using laser::csv::isoTime;

QStringList LineFormat::header(const QString &, const QString &) const
{
    return {};
}

namespace {

class TextLines : public LineFormat
{
    QString status(const QDateTime &when, const laser::Reading &r) const override
    {
        return ctl::statusText(isoTime(when), r);
    }
    QString command(const QDateTime &when, const laser::WorkingPoint &s) const override
    {
        return ctl::commandText(isoTime(when), s);
    }
    QString event(const QDateTime &when, const QString &kind, const QString &detail) const override
    {
        return ctl::eventText(isoTime(when), kind, detail);
    }
};

class JsonLines : public LineFormat
{
    QString status(const QDateTime &when, const laser::Reading &r) const override
    {
        return laser::json::jsonLine(laser::json::statusJson(isoTime(when), r));
    }
    QString command(const QDateTime &when, const laser::WorkingPoint &s) const override
    {
        return laser::json::jsonLine(laser::json::commandJson(isoTime(when), s));
    }
    QString event(const QDateTime &when, const QString &kind, const QString &detail) const override
    {
        return laser::json::jsonLine(laser::json::eventJson(isoTime(when), kind, detail));
    }
};

// The panel's recording format, with its header.
class CsvLines : public LineFormat
{
    QStringList header(const QString &variant, const QString &port) const override
    {
        return laser::csv::header(QStringLiteral("laserctl %1").arg(QStringLiteral(LASERCTL_VERSION)), variant, port,
                                  QDateTime::currentDateTimeUtc());
    }
    QString status(const QDateTime &when, const laser::Reading &r) const override
    {
        return laser::csv::statusRow(when, r);
    }
    QString command(const QDateTime &when, const laser::WorkingPoint &s) const override
    {
        return laser::csv::commandRow(when, s);
    }
    QString event(const QDateTime &when, const QString &kind, const QString &detail) const override
    {
        return laser::csv::eventRow(when, kind, detail);
    }
};

} // namespace

std::unique_ptr<LineFormat> lineFormat(Format format)
{
    switch (format) {
    case Format::Json: return std::make_unique<JsonLines>();
    case Format::Csv: return std::make_unique<CsvLines>();
    case Format::Text: break;
    }
    return std::make_unique<TextLines>();
}

} // namespace cli
