#pragma once

#include "fields.h"

#include <QString>
#include <QVector>

#include <functional>

// A recording read back, row by row, through the field table: the panel's
// CSV, and laserctl monitor's CSV or JSON lines. The file is streamed, so a
// day-long recording costs the reader a buffer, not its size.
namespace laser::record {

struct ReadResult {
    enum Outcome { Read, Unreadable, NotARecording, Cancelled } outcome = Read;
    QString why;           // for Unreadable and NotARecording, in English
    int rows = 0;          // rows handed on
    int skipped = 0;       // rows that could not be read
    QVector<int> skippedLines;   // their line numbers, the first kNamedLines
    QString port;          // from a CSV header; empty without one

    static constexpr int kNamedLines = 10;
    // "3 rows skipped: line 17, 18, 40"; empty when none were.
    QString skippedText() const;
    // "17, 18, 40", with "…" after the last one named when there are more.
    QString skippedLineList() const;
};

// Calls `row` for each row read, in file order, with its time in Source::ms.
// `progress` (bytes read, file size) is asked now and then; false cancels.
ReadResult readRecording(const QString &path, const std::function<void(const Source &)> &row,
                         const std::function<bool(qint64, qint64)> &progress = {});

} // namespace laser::record
