// The form as built by setupUi on a bare QMainWindow: what the operator sees and the slots bind to.
#include "mainwindowform.h"
#include "variant.h"

#include <QTranslator>
#include <QtTest>

namespace {

// A layout cell as "class name=text" (a group box's title; a combo box's items between '|'
// and the current index), then what else the operator meets: a field's centring and
// read-only state, a scroll bar's orientation, range and position.
QString describe(QWidget *w)
{
    QString text = w->property(w->inherits("QGroupBox") ? "title" : "text").toString();
    if (auto *box = qobject_cast<QComboBox *>(w))
        text = QString("%1|%2 at %3").arg(box->itemText(0), box->itemText(1)).arg(box->currentIndex());
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        text += QString(edit->alignment() == Qt::AlignCenter ? " centred" : "") + (edit->isReadOnly() ? " read-only" : "");
    if (auto *bar = qobject_cast<QScrollBar *>(w))
        text = QString("%1 %2..%3 at %4").arg(bar->orientation() == Qt::Horizontal ? "horizontal" : "vertical")
                   .arg(bar->minimum()).arg(bar->maximum()).arg(bar->value());
    return QString("%1 %2=%3").arg(w->metaObject()->className(), w->objectName(), text);
}

// Records every text of the form's context and tags it: a text shown untagged skipped translation.
struct TaggingTranslator : QTranslator {
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        return qstrcmp(context, "MainWindow") ? QString() : '[' + (sources << QString::fromUtf8(source)).last() + ']';
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

private slots:
    void initTestCase()
    {
        QCoreApplication::installTranslator(&translator);
        form.setupUi(&window);
        QCoreApplication::removeTranslator(&translator);
    }

    // The title and the texts in the rows below are all that went through translate(): the
    // empty ones and the port mask did not. The status group's 10 pt and the port field's 9 pt
    // stand for the fonts the form sets (0: the application's). The central column's stretch
    // factors share its height out.
    void wholeForm()
    {
        QCOMPARE(window.windowTitle(), '[' + QString::fromUtf8(variant::kTitle) + ']');
        QCOMPARE(translator.sources.size(), 46);
        QVERIFY(form.portnun_edit->inputMask().isEmpty());
        auto points = [](QWidget *w) { return w->font() == QApplication::font() ? 0 : w->font().pointSize(); };
        QCOMPARE(QVector<int>({points(form.edit_current_a), points(form.portnun_edit)}), QVector<int>({10, 9}));
        auto *column = qobject_cast<QBoxLayout *>(form.centralWidget->layout());
        QVERIFY(column && column->count() == 5);
        QCOMPARE(QVector<int>({column->stretch(0), column->stretch(1), column->stretch(2), column->stretch(3), column->stretch(4)}),
                 QVector<int>({0, 1, 4, 4, 1}));
    }

    // Along one row of a widget's layout: a column that is a nested layout gives its widget in
    // that row, a widget beside the columns stands in every row.
    void rows_data()
    {
        QTest::addColumn<QString>("cells");
        const QString send = "; QPushButton button_current_in=[Send]";
        const QString freq = QString("1..%1 at %2").arg(variant::kFreqMaxSteps).arg(variant::kFreqInitialSteps);
        auto row = [](const char *at, const QString &cells) { QTest::newRow(at) << cells; };
        row("centralWidget/0",
            "QGroupBox groupBox=[Serial Interface Setup]; QGroupBox groupBox_3=[Mode Setup]; QGroupBox groupBox_5=[Setup]; "
            "QGroupBox groupBox_2=[Status Detection]; QLineEdit edit_message=[Message] read-only");
        row("groupBox/0", "QLabel label=[COM:]; QLineEdit portnun_edit=[COM1]; QPushButton portopen_button=[Open]; "
                          "QPushButton button_close=[Close]; QPushButton start_button=[Start]; QPushButton stop_button=[Stop]");
        row("groupBox_3/0", "QLabel label_5=[内/外触发：]; QComboBox comboBox_button_touchOff=[内触发]|[外触发] at 0; "
                            "QPushButton button_touchOff=[Change Mode]");
        row("groupBox_5/0", "QLabel label_7=[种子源脉宽]; QLineEdit edit_pw_in=[5.00] centred; QLabel label_40=[ns]; "
                            "QScrollBar scroll_pw=horizontal 12..60 at 20" + send);
        row("groupBox_5/1", "QLabel label_8=[种子源频率]; QLineEdit edit_ifreq_in=[300] centred; QLabel label_39=[kHz]; "
                            "QScrollBar scroll_ifreq=horizontal " + freq + send);
        row("groupBox_5/2", "QLabel label_6=[泵源电流]; QLineEdit edit_current_in=[0.00] centred; QLabel label_2=; "
                            "QScrollBar scroll_current=horizontal 0..35 at 0" + send);
        row("groupBox_2/0", "QLabel label_9=[泵源电流]; QLineEdit edit_current_a=[0] centred read-only; QLabel label_15=[A]");
        row("groupBox_2/1", "QLabel label_10=[种子源频率]; QLineEdit edit_ifreq_a=[0] centred read-only; QLabel label_16=[kHz]");
        row("groupBox_2/2", "QLabel label_14=[泵源温度]; QLineEdit edit_temp_a=[0] centred read-only; QLabel label_20=[℃]");
        row("groupBox_2/3", "QLabel label_23=[种子源温度]; QLineEdit edit_temp_in=[34] centred; QLabel label_41=[℃]");
        row("groupBox_2/4", "QLabel label_3=[内外触发]; QComboBox comboBox_button_touchOff_read=[内触发]|[外触发] at 0; QLabel label_12=");
        row("groupBox_2/5", "QLabel label_11=[泵电源状态]; QComboBox comboBox_button_status=[正常]|[异常] at 0; QLabel label_13=");
        row("groupBox_2/6", "QLabel label_17=[TEC锁定状态]; QComboBox comboBox_button=[锁定]|[未锁定] at 0; QLabel label_18=");
    }
    void rows()
    {
        QFETCH(QString, cells);
        const QStringList at = QString(QTest::currentDataTag()).split('/');
        auto *parent = window.findChild<QWidget *>(at[0]);
        QVERIFY(parent && parent->layout());
        auto *grid = qobject_cast<QGridLayout *>(parent->layout());
        QStringList actual;
        for (int c = 0; c < parent->layout()->count(); ++c) {
            QLayoutItem *item = grid ? grid->itemAtPosition(at[1].toInt(), c) : parent->layout()->itemAt(c);
            item = item && item->layout() ? item->layout()->itemAt(at[1].toInt()) : item;
            actual << (item && item->widget() ? describe(item->widget()) : "-");
        }
        QCOMPARE(actual.join("; "), cells);
    }

    // Tab ends an edit, so the focus chain decides where an edit ends: it runs
    // through the form in its catalogue order, and Tab from the last field
    // comes back to the first.
    void tabWalksTheCatalogueOrder()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        form.portnun_edit->setFocus(Qt::TabFocusReason);
        QStringList walk{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() == form.portnun_edit)
                break;
            walk << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(walk, QString("portnun_edit portopen_button button_close start_button stop_button "
                               "button_touchOff comboBox_button_touchOff edit_pw_in edit_ifreq_in edit_current_in "
                               "button_current_in edit_current_a edit_ifreq_a edit_temp_a edit_temp_in "
                               "comboBox_button_touchOff_read comboBox_button_status comboBox_button edit_message").split(' '));
    }
};

QTEST_MAIN(FormTest)
#include "tst_form.moc"
