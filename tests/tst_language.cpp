// The panel's language as main() chooses it: which catalogue a list of
// desktop languages gets, and the window under one locale environment.
//   tst_language [english|original] [VAR=VALUE...] [QtTest options]
// sets only the locale variables given, then expects English texts or the
// original ones (the default).
#include "language.h"
#include "probe.h"
#include "variant.h"

#include <QTranslator>
#include <QtTest>

#include <cstdlib>
#include <cstring>

class LanguageTest : public QObject
{
    Q_OBJECT
    const bool english;
    MainWindow *window = nullptr;

public:
    explicit LanguageTest(bool english) : english(english) {}

private slots:
    void initTestCase()
    {
        // The font of a desktop without a theme of its own (Qt's generic Unix
        // theme, as under Xvfb); the offscreen platform's is larger. Chinese
        // texts come from fontconfig's fallback, as on such a desktop.
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
        window = new MainWindow;
    }
    void cleanupTestCase() { delete window; }

    // The desktop's language lists that the locale environments of CTest's
    // runs do not give: English behind another language, or only a regional one.
    void choice_data()
    {
        QTest::addColumn<QString>("uiLanguages");
        QTest::addColumn<QString>("catalogue");
        const QString en = ":/translations/laserpanel_en.qm";
        // As Qt 5.15 lists them on Linux, e.g. for LANGUAGE=de:en: "de,de-DE,...".
        QTest::newRow("en_GB, no plain en") << "en-GB,en-Latn-GB" << en;
        QTest::newRow("zh_CN, then en") << "zh-CN,zh,zh-Hans-CN,en,en-US" << "";
        QTest::newRow("de, then en") << "de,de-DE,de-Latn-DE,en,en-US,en-Latn-US" << en;
        // No Chinese: English rather than the original texts.
        QTest::newRow("de") << "de,de-DE,de-Latn-DE" << en;
        QTest::newRow("fr, then zh") << "fr-FR,fr,zh-CN" << "";
        QTest::newRow("C") << "C" << "";
    }
    void choice()
    {
        QFETCH(QString, uiLanguages);
        QFETCH(QString, catalogue);
        QTranslator translator;
        QCOMPARE(language::load(translator, uiLanguages.split(',')), catalogue);
        QCOMPARE(translator.isEmpty(), catalogue.isEmpty());
    }

    // One text of each kind (a combo box's by item number), and a message the
    // window writes later; the window title keeps its variant in both.
    void texts_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("translation");
        auto row = [](const char *object, const char *property, const QByteArray &original, const QByteArray &translation) {
            QTest::newRow(QByteArray(object) + '.' + property)
                << object << QByteArray(property) << QString::fromUtf8(original) << QString::fromUtf8(translation);
        };
        row("MainWindow", "windowTitle", variant::kTitle, "Single-mode fibre laser control " + QByteArray(variant::kName));
        row("comboBox_button", "1", "未锁定", "Unlocked");
        row("edit_current_a", "placeholderText", "无数据", "No data");
        row("edit_message", "text", "串口打开失败：没有这个设备", "Could not open the serial port: no such device");
    }
    void texts()
    {
        QFETCH(QString, object);
        QFETCH(QByteArray, property);
        QFETCH(QString, original);
        QFETCH(QString, translation);
        if (object == "edit_message")
            MainWindowProbe(*window).open(QStringLiteral("/nonexistent/laserpanel-tty"));
        QWidget *w = object == "MainWindow" ? window : window->findChild<QWidget *>(object);
        QVERIFY(w);
        auto *combo = qobject_cast<QComboBox *>(w);
        QCOMPARE(combo ? combo->itemText(property.toInt()) : w->property(property).toString(), english ? translation : original);
    }

    // A setpoint field shows its widest value whole: with the cursor at
    // either end the text does not scroll, so the ends lie a whole advance apart.
    void wholeValues_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("current") << "edit_current_in" << "7.00";
        QTest::newRow("pulse 15") << "edit_pw_in" << "15.00";
        QTest::newRow("pulse 12.50") << "edit_pw_in" << "12.50";
        QTest::newRow("frequency") << "edit_ifreq_in" << "1000";
    }
    void wholeValues()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *edit = window->findChild<QLineEdit *>(field);
        edit->setText(text);
        QCOMPARE(edit->text(), text);
        auto cursorAt = [edit](int position) {
            edit->setCursorPosition(position);
            edit->repaint();   // the scroll offset is settled when painting
            return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        };
        const int start = cursorAt(0), end = cursorAt(text.size()), advance = edit->fontMetrics().horizontalAdvance(text);
        QVERIFY2(end - start >= advance && start >= 0 && end < edit->width(),
                 qPrintable(QString("%1 px wide, %2 of %3 px shown").arg(edit->width()).arg(end - start).arg(advance)));
    }
};

int main(int argc, char *argv[])
{
    const bool english = argc > 1 && qstrcmp(argv[1], "english") == 0;
    int arg = argc > 1 && (english || qstrcmp(argv[1], "original") == 0) ? 2 : 1;
    // Only the variables named here speak for the desktop.
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        qunsetenv(name);
    for (; arg < argc && std::strchr(argv[arg], '='); ++arg)
        ::putenv(argv[arg]);
    // QtTest sees the program name and its own options.
    argv[arg - 1] = argv[0];
    argc -= arg - 1;
    argv += arg - 1;

    QApplication app(argc, argv);
    language::install(app);
    LanguageTest test(english);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_language.moc"
