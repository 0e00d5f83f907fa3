// The committed catalogue against the texts the sources mark today.
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
struct Message {
    QString context, source, translation, type;
};

QList<Message> readTs(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Message> messages;
    QString context;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            messages.append({context, {}, {}, {}});
        else if (xml.name() == QLatin1String("source") && !messages.isEmpty())
            messages.last().source = xml.readElementText();
        else if (xml.name() == QLatin1String("translation") && !messages.isEmpty()) {
            messages.last().type = xml.attributes().value("type").toString();
            messages.last().translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        }
    }
    return xml.hasError() ? QList<Message>{} : messages;
}

QSet<QString> keys(const QList<Message> &messages)
{
    QSet<QString> set;
    for (const Message &m : messages)
        set << m.context + " / " + m.source;
    return set;
}

QSet<QString> placeholders(const QString &text)
{
    QSet<QString> found;
    QRegularExpressionMatchIterator it = QRegularExpression("%L?\\d+").globalMatch(text);
    while (it.hasNext())
        found << it.next().captured();
    return found;
}
} // namespace

class CatalogueTest : public QObject
{
    Q_OBJECT
    QList<Message> committed;
    QList<Message> fresh;

private slots:
    void initTestCase()
    {
        committed = readTs(LASERPANEL_TS);
        QVERIFY2(!committed.isEmpty(), LASERPANEL_TS " is missing or not a .ts file");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::ForwardedChannels);
        lupdate.start(CMAKE_COMMAND, {"-DLUPDATE=" LUPDATE, "-DSOURCE_DIR=" SOURCE_DIR, "-DFORM=" LUPDATE_FORM,
                                      "-DTS=" + dir.filePath("fresh.ts"), "-P", LUPDATE_SCRIPT});
        QVERIFY(lupdate.waitForFinished(60000));
        QCOMPARE(lupdate.exitCode(), 0);
        fresh = readTs(dir.filePath("fresh.ts"));
        QVERIFY(!fresh.isEmpty());
    }

    // A text added to or dropped from the sources must reach the catalogue.
    void sameTexts()
    {
        const QSet<QString> now = keys(fresh), have = keys(committed);
        QStringList untranslated = (now - have).values(), gone = (have - now).values();
        untranslated.sort();
        gone.sort();
        QVERIFY2(untranslated.isEmpty() && gone.isEmpty(),
                 qPrintable(QString("run the update_translations target and translate the new texts.\n"
                                    "Not in the catalogue: %1\nNo longer in the sources: %2")
                                .arg(untranslated.join(" | "), gone.join(" | "))));
    }

    void translated_data()
    {
        QTest::addColumn<QString>("translation");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("source");
        for (const Message &m : committed)
            QTest::newRow(qPrintable(m.context + " / " + m.source)) << m.translation << m.type << m.source;
    }
    // Finished, not empty, and with the source's %1 ... so that arg() fills it in.
    void translated()
    {
        QFETCH(QString, translation);
        QFETCH(QString, type);
        QFETCH(QString, source);
        QCOMPARE(type, QString());
        QVERIFY(!translation.trimmed().isEmpty());
        QCOMPARE(placeholders(translation), placeholders(source));
    }
};

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
