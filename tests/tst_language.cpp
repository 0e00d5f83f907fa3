// The panel's language as main() chooses it.
//   tst_language                          which catalogue a list of desktop languages gets
//   tst_language english|original VAR=VALUE...
//                                         the window under that locale environment
#include "language.h"
#include "probe.h"
#include "variant.h"

#include <QLocale>
#include <QStyleOption>
#include <QTranslator>
#include <QtTest>

#include <cstring>

class ChoiceTest : public QObject
{
    Q_OBJECT

private slots:
    void choice_data()
    {
        QTest::addColumn<QString>("uiLanguages");
        QTest::addColumn<QString>("catalogue");
        const QString en = ":/translations/laserpanel_en.qm";
        // What Qt 5.15 gives on Linux, e.g. LANG=C: "C"; LANGUAGE=de:en: "de,de-DE,...".
        QTest::newRow("C") << "C" << "";
        QTest::newRow("POSIX") << "POSIX" << "";
        QTest::newRow("en_US") << "en-US,en,en-Latn-US" << en;
        QTest::newRow("en_GB, no plain en") << "en-GB,en-Latn-GB" << en;
        QTest::newRow("zh_CN, then en") << "zh-CN,zh,zh-Hans-CN,en,en-US" << "";
        QTest::newRow("de") << "de-DE,de,de-Latn-DE" << "";
        QTest::newRow("de, then en") << "de,de-DE,de-Latn-DE,en,en-US,en-Latn-US" << en;
    }
    void choice()
    {
        QFETCH(QString, uiLanguages);
        QFETCH(QString, catalogue);
        QTranslator translator;
        QCOMPARE(language::load(translator, uiLanguages.split(',', Qt::SkipEmptyParts)), catalogue);
        QCOMPARE(translator.isEmpty(), catalogue.isEmpty());
    }
};

namespace {
int advance(const QWidget *w, const QString &text)
{
    return QFontMetrics(w->font()).horizontalAdvance(text);
}

// Every text of the window wider than the room its widget gives it.
QStringList overflows(QWidget &window)
{
    QStringList cut;
    auto check = [&cut](const QWidget *w, const QString &text, int room) {
        if (!text.isEmpty() && advance(w, text) > room)
            cut << QString("%1 \"%2\" %3 > %4").arg(w->objectName(), text).arg(advance(w, text)).arg(room);
    };
    for (QLabel *label : window.findChildren<QLabel *>())
        check(label, label->text(), label->contentsRect().width());
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        QStyleOptionButton opt;
        opt.initFrom(button);
        opt.text = button->text();
        check(button, button->text(), button->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, button).width());
    }
    for (QGroupBox *box : window.findChildren<QGroupBox *>()) {
        QStyleOptionGroupBox opt;
        opt.initFrom(box);
        opt.text = box->title();
        opt.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, box);
        check(box, box->title(), box->rect().contains(title) ? title.width() : 0);
    }
    for (QComboBox *combo : window.findChildren<QComboBox *>()) {
        QStyleOptionComboBox opt;
        opt.initFrom(combo);
        opt.subControls = QStyle::SC_All;
        const int room = combo->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo).width();
        for (int i = 0; i < combo->count(); ++i)
            check(combo, combo->itemText(i), room);
    }
    return cut;
}
} // namespace

class WindowLanguageTest : public QObject
{
    Q_OBJECT
    const bool english;
    MainWindow *window = nullptr;

public:
    explicit WindowLanguageTest(bool english) : english(english) {}

private slots:
    void initTestCase()
    {
        // The font of a desktop without a theme of its own (Qt's generic Unix
        // theme, as under Xvfb); the offscreen platform's is larger.
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
        window = new MainWindow;
    }
    void cleanupTestCase() { delete window; }

    // One text of each kind; the window title keeps its variant in both.
    void texts_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("translation");
        auto row = [](const char *object, const char *property, const QByteArray &original, const QByteArray &translation) {
            QTest::newRow(QByteArray(object).append('.').append(property))
                << object << property << QString::fromUtf8(original) << QString::fromUtf8(translation);
        };
        row("MainWindow", "windowTitle", variant::kTitle, "Single-mode fibre laser control " + QByteArray(variant::kName));
        row("groupBox_2", "title", "Status Detection", "Laser status");
        row("label_17", "text", "TEC锁定状态", "TEC lock");
        row("label_20", "text", "℃", "°C");
        row("comboBox_button", "1", "未锁定", "Unlocked");
        row("edit_current_a", "placeholderText", "无数据", "No data");
    }
    void texts()
    {
        QFETCH(QString, object);
        QFETCH(QString, property);
        QFETCH(QString, original);
        QFETCH(QString, translation);
        QWidget *w = object == "MainWindow" ? window : window->findChild<QWidget *>(object);
        QVERIFY(w);
        auto *combo = qobject_cast<QComboBox *>(w);
        const QString shown = combo ? combo->itemText(property.toInt()) : w->property(property.toLatin1()).toString();
        QCOMPARE(shown, english ? translation : original);
    }

    // A message the window writes later, not the form.
    void message()
    {
        MainWindowProbe p(*window);
        p.open(QStringLiteral("/nonexistent/laserpanel-tty"));
        QCOMPARE(p.ui().edit_message->text(), english ? QString("Could not open the serial port") : QString("串口打开失败"));
    }

    // At the window's own size every text has room, and the value fields
    // are no narrower than with the original texts.
    void fits()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->size(), QSize(588, 649));
        QCOMPARE(overflows(*window), QStringList());

        QList<QTranslator *> translators = QCoreApplication::instance()->findChildren<QTranslator *>();
        for (QTranslator *t : translators)
            QCoreApplication::removeTranslator(t);
        MainWindow original;
        for (QTranslator *t : translators)
            QCoreApplication::installTranslator(t);
        original.show();
        QVERIFY(QTest::qWaitForWindowExposed(&original));
        for (QLineEdit *field : window->findChildren<QLineEdit *>()) {
            const int before = original.findChild<QLineEdit *>(field->objectName())->width();
            QVERIFY2(field->width() >= before, qPrintable(field->objectName()));
        }
    }
};

int main(int argc, char *argv[])
{
    if (argc < 2 || argv[1][0] == '-') {
        QApplication app(argc, argv);
        ChoiceTest test;
        return QTest::qExec(&test, argc, argv);
    }
    const bool english = qstrcmp(argv[1], "english") == 0;
    if (!english && qstrcmp(argv[1], "original") != 0) {
        fprintf(stderr, "usage: %s [english|original VAR=VALUE...] [QtTest options]\n", argv[0]);
        return 2;
    }
    // Only the variables named here speak for the desktop.
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        qunsetenv(name);
    int arg = 2;
    for (; arg < argc && std::strchr(argv[arg], '='); ++arg) {
        const QByteArray assignment(argv[arg]);
        qputenv(assignment.left(assignment.indexOf('=')), assignment.mid(assignment.indexOf('=') + 1));
    }
    // QtTest sees the program name and its own options.
    argv[arg - 1] = argv[0];
    argc -= arg - 1;
    argv += arg - 1;

    QApplication app(argc, argv);
    language::install(app);
    WindowLanguageTest test(english);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_language.moc"
