// The form as built by setupUi on a bare QMainWindow: names, tree, properties, texts.
#include "mainwindowform.h"
#include "variant.h"

#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTranslator>
#include <QtTest>

#include <cstddef>
#include <memory>

namespace {

struct Entry {
    const char *name;
    const char *cls;
    const char *parent;  // QObject parent
    const char *layout;  // layout holding it as an item; null if installed on a widget
    int index;           // item index in that layout
    int row, column;     // grid cell, -1 in box layouts
    const char *text;    // initial text or title; null where nothing is set
    std::size_t offset;
    QObject *(*member)(MainWindowForm &);
};

#define GRID(n, cls, parent, layout, index, row, col, text) \
    { #n, #cls, parent, layout, index, row, col, text, offsetof(MainWindowForm, n), \
      [](MainWindowForm &f) -> QObject * { return f.n; } }
#define BOX(n, cls, parent, layout, index, text) GRID(n, cls, parent, layout, index, -1, -1, text)

// Catalogue order: member order and construction order.
const Entry kCatalogue[] = {
    BOX(centralWidget, QWidget, "MainWindow", nullptr, -1, nullptr),
    BOX(verticalLayout_11, QVBoxLayout, "centralWidget", nullptr, -1, nullptr),
    BOX(groupBox, QGroupBox, "centralWidget", "verticalLayout_11", 0, "Serial Interface Setup"),
    BOX(horizontalLayout, QHBoxLayout, "groupBox", nullptr, -1, nullptr),
    BOX(label, QLabel, "groupBox", "horizontalLayout", 0, "COM:"),
    BOX(portnun_edit, QLineEdit, "groupBox", "horizontalLayout", 1, "COM1"),
    BOX(portopen_button, QPushButton, "groupBox", "horizontalLayout", 2, "Open"),
    BOX(button_close, QPushButton, "groupBox", "horizontalLayout", 3, "Close"),
    BOX(start_button, QPushButton, "groupBox", "horizontalLayout", 4, "Start"),
    BOX(stop_button, QPushButton, "groupBox", "horizontalLayout", 5, "Stop"),
    BOX(groupBox_3, QGroupBox, "centralWidget", "verticalLayout_11", 1, "Mode Setup"),
    BOX(gridLayout, QGridLayout, "groupBox_3", nullptr, -1, nullptr),
    GRID(button_touchOff, QPushButton, "groupBox_3", "gridLayout", 0, 0, 2, "Change Mode"),
    GRID(label_5, QLabel, "groupBox_3", "gridLayout", 1, 0, 0, "内/外触发："),
    GRID(comboBox_button_touchOff, QComboBox, "groupBox_3", "gridLayout", 2, 0, 1, nullptr),
    BOX(groupBox_5, QGroupBox, "centralWidget", "verticalLayout_11", 2, "Setup"),
    BOX(horizontalLayout_2, QHBoxLayout, "groupBox_5", nullptr, -1, nullptr),
    BOX(verticalLayout_4, QVBoxLayout, "horizontalLayout_2", "horizontalLayout_2", 0, nullptr),
    BOX(label_7, QLabel, "groupBox_5", "verticalLayout_4", 0, "种子源脉宽"),
    BOX(label_8, QLabel, "groupBox_5", "verticalLayout_4", 1, "种子源频率"),
    BOX(label_6, QLabel, "groupBox_5", "verticalLayout_4", 2, "泵源电流"),
    BOX(verticalLayout_3, QVBoxLayout, "horizontalLayout_2", "horizontalLayout_2", 1, nullptr),
    BOX(edit_pw_in, QLineEdit, "groupBox_5", "verticalLayout_3", 0, "5.00"),
    BOX(edit_ifreq_in, QLineEdit, "groupBox_5", "verticalLayout_3", 1, "300"),
    BOX(edit_current_in, QLineEdit, "groupBox_5", "verticalLayout_3", 2, "0.00"),
    BOX(verticalLayout_2, QVBoxLayout, "horizontalLayout_2", "horizontalLayout_2", 2, nullptr),
    BOX(label_40, QLabel, "groupBox_5", "verticalLayout_2", 0, "ns"),
    BOX(label_39, QLabel, "groupBox_5", "verticalLayout_2", 1, "kHz"),
    BOX(label_2, QLabel, "groupBox_5", "verticalLayout_2", 2, ""),
    BOX(verticalLayout, QVBoxLayout, "horizontalLayout_2", "horizontalLayout_2", 3, nullptr),
    BOX(scroll_pw, QScrollBar, "groupBox_5", "verticalLayout", 0, nullptr),
    BOX(scroll_ifreq, QScrollBar, "groupBox_5", "verticalLayout", 1, nullptr),
    BOX(scroll_current, QScrollBar, "groupBox_5", "verticalLayout", 2, nullptr),
    BOX(button_current_in, QPushButton, "groupBox_5", "horizontalLayout_2", 4, "Send"),
    BOX(groupBox_2, QGroupBox, "centralWidget", "verticalLayout_11", 3, "Status Detection"),
    BOX(horizontalLayout_3, QHBoxLayout, "groupBox_2", nullptr, -1, nullptr),
    BOX(verticalLayout_10, QVBoxLayout, "horizontalLayout_3", "horizontalLayout_3", 0, nullptr),
    BOX(label_9, QLabel, "groupBox_2", "verticalLayout_10", 0, "泵源电流"),
    BOX(label_10, QLabel, "groupBox_2", "verticalLayout_10", 1, "种子源频率"),
    BOX(label_14, QLabel, "groupBox_2", "verticalLayout_10", 2, "泵源温度"),
    BOX(label_23, QLabel, "groupBox_2", "verticalLayout_10", 3, "种子源温度"),
    BOX(label_3, QLabel, "groupBox_2", "verticalLayout_10", 4, "内外触发"),
    BOX(label_11, QLabel, "groupBox_2", "verticalLayout_10", 5, "泵电源状态"),
    BOX(label_17, QLabel, "groupBox_2", "verticalLayout_10", 6, "TEC锁定状态"),
    BOX(verticalLayout_9, QVBoxLayout, "horizontalLayout_3", "horizontalLayout_3", 1, nullptr),
    BOX(edit_current_a, QLineEdit, "groupBox_2", "verticalLayout_9", 0, "0"),
    BOX(edit_ifreq_a, QLineEdit, "groupBox_2", "verticalLayout_9", 1, "0"),
    BOX(edit_temp_a, QLineEdit, "groupBox_2", "verticalLayout_9", 2, "0"),
    BOX(edit_temp_in, QLineEdit, "groupBox_2", "verticalLayout_9", 3, "34"),
    BOX(comboBox_button_touchOff_read, QComboBox, "groupBox_2", "verticalLayout_9", 4, nullptr),
    BOX(comboBox_button_status, QComboBox, "groupBox_2", "verticalLayout_9", 5, nullptr),
    BOX(comboBox_button, QComboBox, "groupBox_2", "verticalLayout_9", 6, nullptr),
    BOX(verticalLayout_8, QVBoxLayout, "horizontalLayout_3", "horizontalLayout_3", 2, nullptr),
    BOX(label_15, QLabel, "groupBox_2", "verticalLayout_8", 0, "A"),
    BOX(label_16, QLabel, "groupBox_2", "verticalLayout_8", 1, "kHz"),
    BOX(label_20, QLabel, "groupBox_2", "verticalLayout_8", 2, "℃"),
    BOX(label_41, QLabel, "groupBox_2", "verticalLayout_8", 3, "℃"),
    BOX(label_12, QLabel, "groupBox_2", "verticalLayout_8", 4, ""),
    BOX(label_13, QLabel, "groupBox_2", "verticalLayout_8", 5, ""),
    BOX(label_18, QLabel, "groupBox_2", "verticalLayout_8", 6, ""),
    BOX(edit_message, QLineEdit, "centralWidget", "verticalLayout_11", 4, "Message"),
};
constexpr int kMembers = int(sizeof kCatalogue / sizeof kCatalogue[0]);

const struct { const char *name, *item0, *item1; } kCombos[] = {
    {"comboBox_button_touchOff", "内触发", "外触发"},
    {"comboBox_button_touchOff_read", "内触发", "外触发"},
    {"comboBox_button_status", "正常", "异常"},
    {"comboBox_button", "锁定", "未锁定"},
};

// Tags every text of the form's context, so untranslated settings show up.
class TaggingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *source, const char *disambiguation,
                      int n) const override
    {
        if (qstrcmp(context, "MainWindow") != 0)
            return QString();
        sources << QString::fromUtf8(source);
        if (disambiguation || n != -1)
            oddCalls++;
        return tagged(QString::fromUtf8(source));
    }
    bool isEmpty() const override { return false; }
    static QString tagged(const QString &s)
    {
        return s.isEmpty() ? s : QLatin1Char('[') + s + QLatin1Char(']');
    }

    mutable QStringList sources;
    mutable int oddCalls = 0;
};

struct Built {
    explicit Built(const QString &name = QString())
    {
        if (!name.isEmpty())
            window.setObjectName(name);
        form.setupUi(&window);
    }
    QObject *find(const QString &name)
    {
        return name == "MainWindow" ? &window : window.findChild<QObject *>(name);
    }
    template <class T> T *get(const QString &name) { return qobject_cast<T *>(find(name)); }

    QMainWindow window;
    MainWindowForm form;
};

QString utf8(const char *s) { return QString::fromUtf8(s); }

} // namespace

class FormTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<Built> plain, translated;
    TaggingTranslator translator;

private slots:
    void initTestCase()
    {
        QCoreApplication::installTranslator(&translator);
        translated.reset(new Built);
        QCoreApplication::removeTranslator(&translator);
        plain.reset(new Built);
    }

    void window()
    {
        QCOMPARE(plain->window.size(), QSize(588, 649));
        QCOMPARE(plain->window.centralWidget(), plain->form.centralWidget);
        QVERIFY(!plain->window.findChild<QMenuBar *>());
        QVERIFY(!plain->window.findChild<QToolBar *>());
        QVERIFY(!plain->window.findChild<QStatusBar *>());
        QCOMPARE(sizeof(MainWindowForm), kMembers * sizeof(void *));
        QCOMPARE(plain->form.label->alignment(), Qt::AlignCenter);
    }

    void objectName_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unnamed") << QString() << "MainWindow";
        QTest::newRow("named") << "panel" << "panel";
    }
    void objectName()
    {
        QFETCH(QString, given);
        QFETCH(QString, expected);
        Built b(given);
        QCOMPARE(b.window.objectName(), expected);
    }

    void catalogue_data()
    {
        QTest::addColumn<int>("i");
        for (int i = 0; i < kMembers; ++i)
            QTest::newRow(kCatalogue[i].name) << i;
    }
    void catalogue()
    {
        QFETCH(int, i);
        const Entry &e = kCatalogue[i];
        QObject *obj = e.member(plain->form);
        QVERIFY(obj);
        QCOMPARE(obj->objectName(), utf8(e.name));
        QCOMPARE(obj->metaObject()->className(), e.cls);
        QVERIFY(obj->parent());
        QCOMPARE(obj->parent()->objectName(), utf8(e.parent));
        if (i > 0)
            QVERIFY2(e.offset > kCatalogue[i - 1].offset, "member out of catalogue order");

        if (!e.layout) {
            // Central widget or a layout installed on its parent widget.
            auto *layout = qobject_cast<QLayout *>(obj);
            QCOMPARE(layout ? static_cast<QObject *>(layout->parentWidget()->layout())
                            : plain->window.centralWidget(), obj);
            return;
        }
        auto *container = plain->get<QLayout>(e.layout);
        QVERIFY(container);
        QLayoutItem *item = container->itemAt(e.index);
        QVERIFY(item);
        QObject *placed = item->widget() ? static_cast<QObject *>(item->widget()) : item->layout();
        QCOMPARE(placed, obj);
        QCOMPARE(item->alignment(), Qt::Alignment());
        if (auto *grid = qobject_cast<QGridLayout *>(container)) {
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(e.index, &row, &column, &rowSpan, &columnSpan);
            QCOMPARE(QPoint(column, row), QPoint(e.column, e.row));
            QCOMPARE(QSize(columnSpan, rowSpan), QSize(1, 1));
        }
    }

    void layouts_data()
    {
        QTest::addColumn<int>("margin");
        QTest::addColumn<QString>("stretch");
        QTest::addColumn<int>("count");
        QTest::newRow("verticalLayout_11") << 11 << "0,1,4,4,1" << 5;
        QTest::newRow("horizontalLayout") << 11 << "0,0,0,0,0,0" << 6;
        QTest::newRow("gridLayout") << 11 << "" << 3;
        QTest::newRow("horizontalLayout_2") << 11 << "0,1,4,4,1" << 5;
        QTest::newRow("horizontalLayout_3") << 11 << "3,2,1" << 3;
        for (const char *nested : {"verticalLayout_4", "verticalLayout_3", "verticalLayout_2"})
            QTest::newRow(nested) << 0 << "0,0,0" << 3;
        QTest::newRow("verticalLayout") << 0 << "0,0,0" << 3;
        for (const char *nested : {"verticalLayout_10", "verticalLayout_9", "verticalLayout_8"})
            QTest::newRow(nested) << 0 << "0,0,0,0,0,0,0" << 7;
    }
    void layouts()
    {
        QFETCH(int, margin);
        QFETCH(QString, stretch);
        QFETCH(int, count);
        auto *layout = plain->get<QLayout>(QTest::currentDataTag());
        QVERIFY(layout);
        QCOMPARE(layout->spacing(), 6);
        QCOMPARE(layout->contentsMargins(), QMargins(margin, margin, margin, margin));
        QCOMPARE(layout->count(), count);
        QStringList factors;
        if (auto *box = qobject_cast<QBoxLayout *>(layout))
            for (int i = 0; i < box->count(); ++i)
                factors << QString::number(box->stretch(i));
        QCOMPARE(factors.join(QLatin1Char(',')), stretch);
    }

    // 0: no font of its own reaches the widget, it shows the application's size.
    void fonts_data()
    {
        QTest::addColumn<bool>("own");
        QTest::addColumn<int>("pointSize");
        for (const char *w : {"groupBox", "groupBox_2"})
            QTest::newRow(w) << true << 10;
        for (const char *w : {"label", "portnun_edit", "portopen_button", "button_close",
                              "start_button", "stop_button", "label_40", "label_39", "label_9",
                              "label_10", "label_14", "label_15", "label_16", "label_20", "label_41"})
            QTest::newRow(w) << true << 9;
        for (const char *w : {"label_23", "edit_current_a", "comboBox_button", "label_18"})
            QTest::newRow(w) << false << 10;
        for (const char *w : {"groupBox_3", "label_5", "groupBox_5", "label_2", "edit_pw_in",
                              "scroll_pw", "button_current_in", "edit_message"})
            QTest::newRow(w) << false << 0;
    }
    void fonts()
    {
        QFETCH(bool, own);
        QFETCH(int, pointSize);
        auto *w = plain->get<QWidget>(QTest::currentDataTag());
        QVERIFY(w);
        QCOMPARE(w->testAttribute(Qt::WA_SetFont), own);
        QCOMPARE(w->font().pointSize(), pointSize ? pointSize : plain->window.font().pointSize());
    }

    void editing_data()
    {
        QTest::addColumn<bool>("centred");
        QTest::addColumn<bool>("readOnly");
        for (const char *e : {"edit_pw_in", "edit_ifreq_in", "edit_current_in", "edit_temp_in"})
            QTest::newRow(e) << true << false;
        for (const char *e : {"edit_current_a", "edit_ifreq_a", "edit_temp_a"})
            QTest::newRow(e) << true << true;
        QTest::newRow("edit_message") << false << true;
        QTest::newRow("portnun_edit") << false << false;
    }
    void editing()
    {
        QFETCH(bool, centred);
        QFETCH(bool, readOnly);
        auto *edit = plain->get<QLineEdit>(QTest::currentDataTag());
        QVERIFY(edit);
        QCOMPARE(edit->alignment(), centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        QCOMPARE(edit->isReadOnly(), readOnly);
    }

    void minimumSizes_data()
    {
        QTest::addColumn<QSize>("size");
        for (const char *l : {"label_40", "label_39", "label_2", "label_41"})
            QTest::newRow(l) << QSize(25, 0);
        for (const char *s : {"scroll_pw", "scroll_ifreq", "scroll_current"})
            QTest::newRow(s) << QSize(200, 0);
        QTest::newRow("label_15") << QSize(0, 0);
    }
    void minimumSizes()
    {
        QFETCH(QSize, size);
        auto *w = plain->get<QWidget>(QTest::currentDataTag());
        QVERIFY(w);
        QCOMPARE(w->minimumSize(), size);
    }

    void scrollBars_data()
    {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::newRow("scroll_pw") << 12 << 60 << 20;
        QTest::newRow("scroll_ifreq") << 1 << variant::kFreqMaxSteps << variant::kFreqInitialSteps;
        QTest::newRow("scroll_current") << 0 << 35 << 0;
    }
    void scrollBars()
    {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, value);
        auto *bar = plain->get<QScrollBar>(QTest::currentDataTag());
        QVERIFY(bar);
        QCOMPARE(bar->minimum(), minimum);
        QCOMPARE(bar->maximum(), maximum);
        QCOMPARE(bar->value(), value);
        QCOMPARE(bar->orientation(), Qt::Horizontal);
    }

    void comboBoxes_data()
    {
        QTest::addColumn<QStringList>("items");
        for (const auto &c : kCombos)
            QTest::newRow(c.name) << QStringList{utf8(c.item0), utf8(c.item1)};
    }
    void comboBoxes()
    {
        QFETCH(QStringList, items);
        for (Built *b : {plain.get(), translated.get()}) {
            auto *box = b->get<QComboBox>(QTest::currentDataTag());
            QVERIFY(box);
            QCOMPARE(box->count(), 2);
            QCOMPARE(box->currentIndex(), 0);
            const bool tag = b == translated.get();
            for (int i = 0; i < 2; ++i) {
                QCOMPARE(box->itemText(i), tag ? TaggingTranslator::tagged(items[i]) : items[i]);
                QVERIFY(box->itemIcon(i).isNull());
                QVERIFY(!box->itemData(i).isValid());
            }
        }
    }

    // Every text as shown, and as a catalogue for the "MainWindow" context would render it.
    void texts_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("text");
        QTest::newRow("title") << "MainWindow" << QByteArray("windowTitle") << utf8(variant::kTitle);
        QTest::newRow("portnun_edit mask") << "portnun_edit" << QByteArray("inputMask") << QString();
        for (const Entry &e : kCatalogue)
            if (e.text)
                QTest::newRow(e.name) << utf8(e.name)
                                      << QByteArray(qstrcmp(e.cls, "QGroupBox") ? "text" : "title")
                                      << utf8(e.text);
    }
    void texts()
    {
        QFETCH(QString, object);
        QFETCH(QByteArray, property);
        QFETCH(QString, text);
        QVERIFY(plain->find(object));
        QCOMPARE(plain->find(object)->property(property).toString(), text);
        QCOMPARE(translated->find(object)->property(property).toString(),
                 TaggingTranslator::tagged(text));
    }

    // Settings are translated once each, in catalogue order; empty ones skip translation.
    void translationOrder()
    {
        QStringList expected{utf8(variant::kTitle)};
        for (const Entry &e : kCatalogue) {
            if (e.text && *e.text)
                expected << utf8(e.text);
            for (const auto &c : kCombos)
                if (!qstrcmp(c.name, e.name))
                    expected << utf8(c.item0) << utf8(c.item1);
        }
        QCOMPARE(expected.size(), 46);
        QCOMPARE(translator.sources, expected);
        QCOMPARE(translator.oddCalls, 0);
    }
};

QTEST_MAIN(FormTest)
#include "tst_form.moc"
