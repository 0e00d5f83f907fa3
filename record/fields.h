#pragma once

#include "reading.h"
#include "workingpoint.h"

#include <QString>
#include <QVariant>

#include <string_view>
#include <vector>

// The record's fields in one table: the CSV columns in their order and the
// JSON keys, each with the row kinds that carry it and how it is written.
namespace laser::record {

enum Kind { Status = 1, Command = 2, Event = 4, Every = Status | Command | Event };

// What a row is made of; a field reads only the part its kinds have.
struct Source {
    Kind kind;
    QString time;
    QString word;   // the `kind` column: status, command, or the event's word
    Reading reading;
    WorkingPoint point;
    QString detail;
    qint64 ms = 0;   // read back: the time in ms since the epoch
};

struct Field {
    const char *name;
    int kinds;
    // Text as it is (quoted in CSV where needed), a number to two decimals,
    // or a whole number.
    enum Form { Text, TwoDecimals, Whole } form;
    // No value (invalid) is an empty cell and a JSON null.
    QVariant (*value)(const Source &);
    // Back from the text written (CSV cell, or a JSON value as text, null
    // empty): false for text the field never writes. A command's point gets
    // the frequency step of point.kHzPerStep, set before.
    bool (*read)(std::string_view text, Source &);
};

const std::vector<Field> &fields();

} // namespace laser::record
