#include "app/PagoraApplication.h"
#include "widgets/UserPrompts.h"

#include <QTest>
#include <stdexcept>

namespace {

class Thrower : public QObject
{
public:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("The page file cannot be read");
        return QObject::event(e);
    }
};

} // namespace

// An error escaping a handler is shown in a message box and the program goes on.
class TestErrorDisplay : public QObject
{
    Q_OBJECT

private slots:
    void escapingErrorIsShown()
    {
        QStringList shown;
        UserPrompts::setResponder([&shown](const UserPrompts::Prompt &p) {
            shown << p.text;
            UserPrompts::Answer a;
            a.button = QMessageBox::Ok;
            return a;
        });
        Thrower thrower;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(shown, QStringList{QStringLiteral("The page file cannot be read")});

        // Still running: the next event is delivered as usual.
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(shown.size(), 2);
        UserPrompts::setResponder({});
    }
};

int main(int argc, char *argv[])
{
    PagoraApplication app(argc, argv);
    TestErrorDisplay test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_errordisplay.moc"
