#pragma once

#include "reading.h"
#include "workingpoint.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <string_view>

// The recording format shared by the panel and laserctl: a few '#' lines that
// describe the session, one line of column names, then one row per status
// frame, command or link event. Every row has all columns; the ones that do
// not apply to its kind are empty.
namespace laser::csv {

// 2026-12-07T14:03:21.042+01:00: local time, milliseconds, UTC offset.
QString isoTime(const QDateTime &when);
// Back to ms since the epoch; false for text isoTime() does not write
// (a trailing Z is taken for +00:00).
bool msFromIsoTime(std::string_view text, qint64 &ms);

// Names of the header's "# name: value" lines that a reader takes back.
inline constexpr char kHeaderVariant[] = "variant";
inline constexpr char kHeaderPort[] = "port";

// The '#' lines and the column line, each without its newline.
QStringList header(const QString &program, const QString &variant, const QString &port,
                   const QDateTime &start);
QString columns();

QString statusRow(const QDateTime &when, const Reading &reading);
QString commandRow(const QDateTime &when, const WorkingPoint &point);
QString eventRow(const QDateTime &when, LinkEvent event, const QString &detail = QString());
// With the kind as a word, as the panel's socket names it.
QString eventRow(const QDateTime &when, const QString &kind, const QString &detail);

// The `kind` column of an event row: open, close, lost, stale, recovered,
// recording_started, recording_stopped.
QString eventKind(LinkEvent event);
// Back from the word; false for a word no event has.
bool eventFromKind(const QString &kind, LinkEvent &event);

// A field quoted as CSV needs it (comma, quote or line break inside).
QString field(const QString &text);

} // namespace laser::csv
