#pragma once

#include "reading.h"
#include "workingpoint.h"

#include <QJsonObject>
#include <QString>

// The record as JSON objects, one a line: what `laserctl monitor --json`
// prints and what the panel's local socket streams. Keys and words are the
// CSV record's columns.
namespace laser::json {

QJsonObject statusJson(const QString &time, const Reading &reading);
// `kind`: laser::csv::eventKind() of the event.
QJsonObject eventJson(const QString &time, const QString &kind, const QString &detail);
QJsonObject eventJson(const QString &time, LinkEvent event, const QString &detail);
QJsonObject commandJson(const QString &time, const WorkingPoint &point);

// Back from an object of statusJson's or commandJson's (the latter in steps
// of kHzPerStep); false for one that is not of that kind or lacks a field.
bool readingFrom(const QJsonObject &object, Reading &out);
bool pointFrom(const QJsonObject &object, int kHzPerStep, WorkingPoint &out);

// The object on one line, without its newline.
QString jsonLine(const QJsonObject &object);

} // namespace laser::json
