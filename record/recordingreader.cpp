#include "recordingreader.h"

#include "csvrecord.h"
#include "firmware.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace laser::record {

namespace {
using View = std::string_view;
constexpr qint64 kChunk = 1 << 20;

// The cells of one CSV line; a quoted cell's text, its doubled quotes undone,
// goes into `scratch`, reserved so that views into it stay valid.
bool splitCsv(View line, std::vector<View> &cells, std::string &scratch)
{
    cells.clear();
    scratch.clear();
    scratch.reserve(line.size());
    std::size_t i = 0;
    for (;;) {
        if (i < line.size() && line[i] == '"') {
            const std::size_t start = scratch.size();
            for (++i;; ++i) {
                if (i >= line.size())
                    return false;
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"')
                        ++i;
                    else
                        break;
                }
                scratch.push_back(line[i]);
            }
            cells.emplace_back(scratch.data() + start, scratch.size() - start);
            ++i;
            if (i < line.size() && line[i] != ',')
                return false;
        } else {
            const std::size_t comma = line.find(',', i);
            cells.push_back(line.substr(i, comma == View::npos ? View::npos : comma - i));
            i = comma == View::npos ? line.size() : comma;
        }
        if (i >= line.size())
            return true;
        ++i;   // past the comma
    }
}

// The members of a flat JSON object of strings without escapes, numbers and
// nulls, as the record writes them: keys and values as views, a string's
// without its quotes, null empty. False for anything else.
bool scanFlatJson(View line, std::vector<std::pair<View, View>> &members)
{
    members.clear();
    std::size_t i = 0;
    auto skipSpace = [&] {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
    };
    auto string = [&](View &out) {
        if (i >= line.size() || line[i] != '"')
            return false;
        const std::size_t end = line.find_first_of("\"\\", i + 1);
        if (end == View::npos || line[end] != '"')
            return false;
        out = line.substr(i + 1, end - i - 1);
        i = end + 1;
        return true;
    };
    skipSpace();
    if (i >= line.size() || line[i++] != '{')
        return false;
    for (;;) {
        View key, value;
        skipSpace();
        if (!string(key))
            return false;
        skipSpace();
        if (i >= line.size() || line[i++] != ':')
            return false;
        skipSpace();
        if (i < line.size() && line[i] == '"') {
            if (!string(value))
                return false;
        } else {
            const std::size_t end = std::min(line.find_first_of(",} \t", i), line.size());
            value = line.substr(i, end - i);
            i = end;
            if (value == "null")
                value = View();
            else if (value.empty() || value == "true" || value == "false")
                return false;
        }
        members.emplace_back(key, value);
        skipSpace();
        if (i < line.size() && line[i] == ',') {
            ++i;
            continue;
        }
        if (i >= line.size() || line[i++] != '}')
            return false;
        skipSpace();
        return i == line.size();
    }
}

class Reader
{
public:
    Reader(const std::function<void(const Source &)> &row) : rowOut(row) {}

    // One line without its newline; false when the file is refused.
    bool line(View text)
    {
        ++number;
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        if (form == Unknown)
            return text.empty() || first(text);
        take(text, number);
        return true;
    }

    // The end of the file: a row still open is damaged.
    void finish()
    {
        while (!held.empty())
            giveUp();
    }

    ReadResult result;

private:
    // A CSV row whose quoted cell holds a line break spans lines: they are
    // held until its quotes close, a few lines at most.
    static constexpr std::size_t kMostRowLines = 8;

    static bool oddQuotes(View text) { return std::count(text.begin(), text.end(), '"') % 2 == 1; }

    void take(View text, int at)
    {
        if (form == Csv && (!held.empty() || oddQuotes(text))) {
            held.emplace_back(at, std::string(text));
            std::string joined;
            for (const auto &[n, part] : held)
                joined += (joined.empty() ? "" : "\n") + part;
            if (oddQuotes(joined) && held.size() < kMostRowLines)
                return;
            if (!oddQuotes(joined) && held.size() > 1 && row(joined, held.front().first, false)) {
                held.clear();
                return;
            }
            giveUp();
            return;
        }
        if (!text.empty() && text[0] != '#')
            row(text, at, true);
    }

    // The first line held is damaged; the others are read again on their own.
    void giveUp()
    {
        auto lines = std::move(held);
        held.clear();
        skip(lines.front().first);
        for (std::size_t i = 1; i < lines.size(); ++i)
            take(lines[i].second, lines[i].first);
    }

    bool row(View text, int at, bool countSkipped)
    {
        Source s;
        s.kind = Every;   // until its kind field is read
        s.point.kHzPerStep = kHzPerStep;
        if (form == Csv ? csvRow(text, s) : jsonRow(text, s)) {
            ++result.rows;
            rowOut(s);
            return true;
        }
        if (countSkipped)
            skip(at);
        return false;
    }

    void skip(int at)
    {
        if (result.skippedLines.size() < ReadResult::kNamedLines)
            result.skippedLines << at;
        ++result.skipped;
    }

    bool first(View text)
    {
        if (text[0] == '#') {
            // "# port: …", "# variant: …"
            const QString line = QString::fromUtf8(text.data(), int(text.size()));
            const int colon = line.indexOf(QLatin1Char(':'));
            const QString key = line.mid(1, colon - 1).trimmed(), value = line.mid(colon + 1).trimmed();
            if (colon > 0 && key == QLatin1String(csv::kHeaderPort))
                result.port = value;
            if (const Variant *v = colon > 0 && key == QLatin1String(csv::kHeaderVariant) ? variantNamed(value) : nullptr)
                kHzPerStep = v->kHzPerStep;
            return true;
        }
        if (text[0] == '{') {
            form = Json;
            take(text, number);
            return true;
        }
        std::vector<View> names;
        std::string scratch;
        splitCsv(text, names, scratch);
        for (const Field &f : fields()) {
            int at = -1;
            for (std::size_t i = 0; i < names.size(); ++i)
                if (names[i] == f.name)
                    at = int(i);
            if (at < 0)
                return refuse(QStringLiteral("line %1 is neither the column line (with \"%2\") nor a JSON object")
                                  .arg(number)
                                  .arg(QLatin1String(f.name)));
            column.push_back(at);
        }
        width = names.size();
        form = Csv;
        return true;
    }

    bool refuse(const QString &why)
    {
        result.outcome = ReadResult::NotARecording;
        result.why = why;
        return false;
    }

    // The fields every row has first: they say which others it must have.
    template <typename Text>
    bool fill(Source &s, Text text)
    {
        for (int pass = 0; pass < 2; ++pass) {
            for (std::size_t i = 0; i < fields().size(); ++i) {
                const Field &f = fields()[i];
                if ((f.kinds == Every) == (pass == 0) && (f.kinds & s.kind) && !f.read(text(i), s))
                    return false;
            }
        }
        return true;
    }

    bool csvRow(View text, Source &s)
    {
        if (!splitCsv(text, cells, scratch) || cells.size() != width)
            return false;
        return fill(s, [this](std::size_t i) { return cells[std::size_t(column[i])]; });
    }

    bool jsonRow(View text, Source &s)
    {
        // Most rows scan as views; one with escapes goes through QJsonDocument.
        if (scanFlatJson(text, members)) {
            return fill(s, [this](std::size_t i) {
                for (const auto &[key, value] : members)
                    if (key == fields()[i].name)
                        return value;
                return View();
            });
        }
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromRawData(text.data(), int(text.size()))).object();
        if (o.isEmpty())
            return false;
        return fill(s, [this, &o](std::size_t i) {
            const Field &f = fields()[i];
            const QJsonValue v = o.value(QLatin1String(f.name));
            value = v.isString()   ? v.toString().toUtf8()
                    : !v.isDouble() ? QByteArray()
                    : f.form == Field::Whole && v.toDouble() == double(qint64(v.toDouble()))
                        ? QByteArray::number(qint64(v.toDouble()))
                        : QByteArray::number(v.toDouble(), 'g', 17);
            return View(value.constData(), std::size_t(value.size()));
        });
    }

    enum { Unknown, Csv, Json } form = Unknown;
    const std::function<void(const Source &)> &rowOut;
    std::vector<int> column;   // per field, its place in the row
    std::size_t width = 0;
    std::vector<View> cells;
    std::vector<std::pair<View, View>> members;
    std::vector<std::pair<int, std::string>> held;
    std::string scratch;
    QByteArray value;
    int kHzPerStep = kVariants[0].kHzPerStep;
    int number = 0;
};
} // namespace

QString ReadResult::skippedLineList() const
{
    QStringList lines;
    for (int n : skippedLines)
        lines << QString::number(n);
    return lines.join(QStringLiteral(", ")) + (skipped > skippedLines.size() ? QStringLiteral(", …") : QString());
}

QString ReadResult::skippedText() const
{
    if (skipped == 0)
        return QString();
    return QStringLiteral("%1 %2 skipped: line %3")
        .arg(skipped)
        .arg(skipped == 1 ? QStringLiteral("row") : QStringLiteral("rows"), skippedLineList());
}

ReadResult readRecording(const QString &path, const std::function<void(const Source &)> &row,
                         const std::function<bool(qint64, qint64)> &progress)
{
    Reader reader(row);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reader.result.outcome = ReadResult::Unreadable;
        reader.result.why = file.errorString();
        return reader.result;
    }
    const qint64 size = file.size();
    QByteArray buffer(int(kChunk), Qt::Uninitialized);
    qint64 kept = 0, done = 0;
    for (;;) {
        if (kept == buffer.size())
            buffer.resize(buffer.size() * 2);   // a line longer than the buffer
        const qint64 n = file.read(buffer.data() + kept, buffer.size() - kept);
        if (n < 0) {
            reader.result.outcome = ReadResult::Unreadable;
            reader.result.why = file.errorString();
            return reader.result;
        }
        const bool end = n == 0;
        done += n;
        const char *p = buffer.constData(), *stop = p + kept + n;
        while (p < stop) {
            const char *nl = static_cast<const char *>(std::memchr(p, '\n', std::size_t(stop - p)));
            if (!nl && !end)
                break;
            if (!reader.line(View(p, std::size_t((nl ? nl : stop) - p))))
                return reader.result;
            p = nl ? nl + 1 : stop;
        }
        kept = stop - p;
        std::memmove(buffer.data(), p, std::size_t(kept));
        if (end)
            break;
        if (progress && !progress(done, size)) {
            reader.result.outcome = ReadResult::Cancelled;
            return reader.result;
        }
    }
    reader.finish();
    if (reader.result.rows == 0 && reader.result.outcome == ReadResult::Read)
        reader.result = {ReadResult::NotARecording,
                         done == 0 ? QStringLiteral("the file is empty") : QStringLiteral("no row could be read"),
                         0, reader.result.skipped, reader.result.skippedLines, reader.result.port};
    return reader.result;
}

} // namespace laser::record
