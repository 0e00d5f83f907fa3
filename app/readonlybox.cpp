#include "readonlybox.h"

#include <QComboBox>
#include <QEvent>

namespace {
class InputEater : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return true;
        default:
            return false;
        }
    }
};
} // namespace

void makeReadOnly(QComboBox *box)
{
    box->setFocusPolicy(Qt::NoFocus);
    box->installEventFilter(new InputEater(box));
}
