// The committed catalogue against the texts the sources mark today.
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
struct Message { QString source, type, translation; };
using Messages = QMap<QString, Message>;   // by "context / source"

// None if the file cannot be opened.
Messages readTs(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    Messages messages;
    QString context, source;
    for (QXmlStreamReader xml(&file); !xml.atEnd();) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.name() == QLatin1String("translation"))
            messages.insert(context + " / " + source, {source, xml.attributes().value("type").toString(),
                                                       xml.readElementText(QXmlStreamReader::IncludeChildElements)});
    }
    return messages;
}

QStringList placeholders(const QString &text)
{
    QStringList found;
    for (QRegularExpressionMatchIterator it = QRegularExpression("%L?\\d+").globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found;
}
} // namespace

Q_DECLARE_METATYPE(Message)

class CatalogueTest : public QObject
{
    Q_OBJECT
    Messages committed, fresh;

private slots:
    void initTestCase()
    {
        committed = readTs(LASERPANEL_TS);
        QVERIFY2(!committed.isEmpty(), LASERPANEL_TS " is missing or not a .ts file");
        QTemporaryDir dir;
        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::ForwardedChannels);
        lupdate.start(CMAKE_COMMAND, {"-DLUPDATE=" LUPDATE, "-DSOURCE_DIR=" SOURCE_DIR, "-DFORM=" LUPDATE_FORM,
                                      "-DTS=" + dir.filePath("fresh.ts"), "-P", LUPDATE_SCRIPT});
        QVERIFY(lupdate.waitForFinished(60000));
        QCOMPARE(lupdate.exitCode(), 0);
        fresh = readTs(dir.filePath("fresh.ts"));
        QVERIFY(!fresh.isEmpty());
    }

    // A text added to or dropped from the sources must reach the catalogue:
    // run the update_translations target and translate the new texts.
    void sameTexts() { QCOMPARE(fresh.keys(), committed.keys()); }

    // Finished, not empty, and with the source's %1 ... so that arg() fills it in.
    void translated_data()
    {
        QTest::addColumn<Message>("m");
        for (auto it = committed.cbegin(); it != committed.cend(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.value();
    }
    void translated()
    {
        QFETCH(Message, m);
        QCOMPARE(m.type, QString());
        QVERIFY(!m.translation.trimmed().isEmpty());
        QCOMPARE(placeholders(m.translation), placeholders(m.source));
    }
};

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
