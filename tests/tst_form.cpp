// The form as built by setupUi on a bare QMainWindow: what the operator sees and the slots bind to.
#include "mainwindowform.h"
#include "variant.h"

#include <QTranslator>
#include <QtTest>

#include <initializer_list>

namespace {

// Per class, every widget the window code or an operator relies on, as name=initial text
// (title for group boxes); a combo box's items have '|' between them.
const struct { const char *cls; std::initializer_list<const char *> widgets; } kWidgets[] = {
    {"QWidget", {"centralWidget="}}, {"QScrollBar", {"scroll_pw=", "scroll_ifreq=", "scroll_current="}},
    {"QGroupBox", {"groupBox=Serial Interface Setup", "groupBox_3=Mode Setup", "groupBox_5=Setup",
                   "groupBox_2=Status Detection"}},
    {"QLabel", {"label=COM:", "label_5=内/外触发：", "label_7=种子源脉宽", "label_8=种子源频率", "label_6=泵源电流",
                "label_40=ns", "label_39=kHz", "label_2=", "label_9=泵源电流", "label_10=种子源频率", "label_14=泵源温度",
                "label_23=种子源温度", "label_3=内外触发", "label_11=泵电源状态", "label_17=TEC锁定状态", "label_15=A",
                "label_16=kHz", "label_20=℃", "label_41=℃", "label_12=", "label_13=", "label_18="}},
    {"QLineEdit", {"portnun_edit=COM1", "edit_pw_in=5.00", "edit_ifreq_in=300", "edit_current_in=0.00", "edit_current_a=0",
                   "edit_ifreq_a=0", "edit_temp_a=0", "edit_temp_in=34", "edit_message=Message"}},
    {"QPushButton", {"portopen_button=Open", "button_close=Close", "start_button=Start", "stop_button=Stop",
                     "button_touchOff=Change Mode", "button_current_in=Send"}},
    {"QComboBox", {"comboBox_button_touchOff=内触发|外触发", "comboBox_button_touchOff_read=内触发|外触发",
                   "comboBox_button_status=正常|异常", "comboBox_button=锁定|未锁定"}},
};

// Along one row of a widget's layout: a column that is a nested layout gives its widget
// in that row, a widget beside the columns stands in every row. Then the layout's stretch
// factors, where given.
const struct { const char *parent; int row; const char *cells, *stretch; } kRows[] = {
    {"centralWidget", 0, "groupBox groupBox_3 groupBox_5 groupBox_2 edit_message", "0,1,4,4,1"},
    {"groupBox", 0, "label portnun_edit portopen_button button_close start_button stop_button", ""},
    {"groupBox_5", 0, "label_7 edit_pw_in label_40 scroll_pw button_current_in", ""},
    {"groupBox_5", 1, "label_8 edit_ifreq_in label_39 scroll_ifreq button_current_in", ""},
    {"groupBox_5", 2, "label_6 edit_current_in label_2 scroll_current button_current_in", ""},
    {"groupBox_2", 0, "label_9 edit_current_a label_15", ""}, {"groupBox_2", 1, "label_10 edit_ifreq_a label_16", ""},
    {"groupBox_2", 2, "label_14 edit_temp_a label_20", ""}, {"groupBox_2", 3, "label_23 edit_temp_in label_41", ""},
    {"groupBox_2", 4, "label_3 comboBox_button_touchOff_read label_12", ""},
    {"groupBox_2", 5, "label_11 comboBox_button_status label_13", ""}, {"groupBox_2", 6, "label_17 comboBox_button label_18", ""},
};

// Records every text of the form's context and tags it: a text shown untagged skipped translation.
struct TaggingTranslator : QTranslator {
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "MainWindow") != 0)
            return QString();
        sources << QString::fromUtf8(source);
        return '[' + sources.last() + ']';
    }
    mutable QStringList sources;
};
} // namespace

// The form is built with a tagging translator installed: "[text]" shows where text went through it.
class FormTest : public QObject
{
    Q_OBJECT
    QMainWindow window;
    MainWindowForm form;
    TaggingTranslator translator;
    QObject *find(const QString &name) { return name == "MainWindow" ? &window : window.findChild<QObject *>(name); }

private slots:
    void initTestCase()
    {
        QCoreApplication::installTranslator(&translator);
        form.setupUi(&window);
        QCoreApplication::removeTranslator(&translator);
    }

    void widgets_data()
    {
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QString>("text");
        QTest::newRow("MainWindow") << "QMainWindow" << QString::fromUtf8(variant::kTitle);
        for (const auto &c : kWidgets)
            for (const QString w : c.widgets)
                QTest::newRow(qPrintable(w.section('=', 0, 0))) << c.cls << w.section('=', 1);
    }
    void widgets()
    {
        QFETCH(QString, cls);
        QFETCH(QString, text);
        const QString tagged = text.isEmpty() ? text : '[' + text.split('|').join("]|[") + ']';
        QObject *obj = find(QTest::currentDataTag());
        QVERIFY(obj);
        QCOMPARE(QString(obj->metaObject()->className()), cls);
        if (auto *box = qobject_cast<QComboBox *>(obj)) {
            QCOMPARE(QStringList({box->itemText(0), box->itemText(1)}).join('|'), tagged);
            QCOMPARE(QVector<int>({box->count(), box->currentIndex()}), QVector<int>({2, 0}));
        } else {
            QCOMPARE(obj->property(obj == &window ? "windowTitle" : obj->inherits("QGroupBox") ? "title" : "text").toString(), tagged);
        }
    }

    // The texts above are all that went through translate(): empty ones and the port mask did not.
    void translateCalls()
    {
        QCOMPARE(translator.sources.size(), 46);
        QVERIFY(form.portnun_edit->inputMask().isEmpty());
    }

    void rows_data()
    {
        QTest::addColumn<int>("i");
        for (int i = 0; i < int(sizeof kRows / sizeof *kRows); ++i)
            QTest::addRow("%s/%d", kRows[i].parent, kRows[i].row) << i;
    }
    void rows()
    {
        QFETCH(int, i);
        auto *parent = window.findChild<QWidget *>(kRows[i].parent);
        auto *box = qobject_cast<QBoxLayout *>(parent ? parent->layout() : nullptr);
        QVERIFY(box);
        QStringList cells, stretch;
        for (int c = 0; c < box->count(); ++c) {
            QLayoutItem *item = box->itemAt(c)->layout() ? box->itemAt(c)->layout()->itemAt(kRows[i].row) : box->itemAt(c);
            cells << (item && item->widget() ? item->widget()->objectName() : QString("-"));
            stretch << QString::number(box->stretch(c));
        }
        QCOMPARE(cells.join(' '), QString(kRows[i].cells));
        if (*kRows[i].stretch)
            QCOMPARE(stretch.join(','), QString(kRows[i].stretch));
    }

    // pointSize is the font's, 0 when it is the application's.
    void properties_data()
    {
        QTest::addColumn<QString>("names");
        QTest::addColumn<QVector<int>>("values");
        const QString bar = "minimum maximum value orientation", edit = "alignment readOnly pointSize";
        QTest::newRow("scroll_pw") << bar << QVector<int>{12, 60, 20, Qt::Horizontal};
        QTest::newRow("scroll_ifreq") << bar << QVector<int>{1, variant::kFreqMaxSteps, variant::kFreqInitialSteps, Qt::Horizontal};
        QTest::newRow("scroll_current") << bar << QVector<int>{0, 35, 0, Qt::Horizontal};
        for (const char *e : {"edit_pw_in", "edit_ifreq_in", "edit_current_in", "edit_temp_in"})
            QTest::newRow(e) << "alignment readOnly" << QVector<int>{Qt::AlignCenter, false};
        for (const char *e : {"edit_current_a", "edit_ifreq_a", "edit_temp_a"})
            QTest::newRow(e) << edit << QVector<int>{Qt::AlignCenter, true, 10};
        QTest::newRow("edit_message") << edit << QVector<int>{Qt::AlignLeft | Qt::AlignVCenter, true, 0};
        QTest::newRow("portnun_edit") << edit << QVector<int>{Qt::AlignLeft | Qt::AlignVCenter, false, 9};
        QTest::newRow("label") << "alignment pointSize" << QVector<int>{Qt::AlignCenter, 9};
        QTest::newRow("groupBox_3") << "pointSize" << QVector<int>{0};
    }
    void properties()
    {
        QFETCH(QString, names);
        QFETCH(QVector<int>, values);
        auto *w = window.findChild<QWidget *>(QTest::currentDataTag());
        QVERIFY(w);
        const int points = w->font().pointSize() == QApplication::font().pointSize() ? 0 : w->font().pointSize();
        QVector<int> actual;
        for (const QString &name : names.split(' '))
            actual << (name == "pointSize" ? points : w->property(qPrintable(name)).toInt());
        QCOMPARE(actual, values);
    }
};

QTEST_MAIN(FormTest)
#include "tst_form.moc"
