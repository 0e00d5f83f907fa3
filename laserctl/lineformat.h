#pragma once

// monitor's output formats: each turns the laser's reports into lines of its
// own.

#include "cli.h"

#include <memory>

namespace cli {

class LineFormat
{
public:
    virtual ~LineFormat() = default;
    // The lines before the first report.
    virtual QStringList header(const QString &variant, const QString &port) const;
    virtual QString status(const QDateTime &when, const laser::Reading &r) const = 0;
    virtual QString command(const QDateTime &when, const laser::WorkingPoint &s) const = 0;
    // `kind`: laser::csv::eventKind() of the event, or a kind the panel named.
    virtual QString event(const QDateTime &when, const QString &kind, const QString &detail) const = 0;
};

std::unique_ptr<LineFormat> lineFormat(Format format);

} // namespace cli
