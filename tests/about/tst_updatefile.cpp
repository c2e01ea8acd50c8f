#include "about/UpdateFile.h"

#include <QTest>

using Status = UpdateFile::Status;

namespace {

QByteArray wrap(const QByteArray &version)
{
    return "<Pagora><Program_Info><Program_Version>" + version +
           "</Program_Version></Program_Info></Pagora>";
}

QByteArray nested(int depth)
{
    return QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
}

QByteArray manyAttributes(int count)
{
    QByteArray tag = "<Program_Info";
    for (int i = 0; i < count; ++i)
        tag += " a" + QByteArray::number(i) + "=\"\"";
    return "<r>" + tag + "><Program_Version>9</Program_Version></Program_Info></r>";
}

// Each level multiplies by ten: a billion characters from a few hundred bytes.
QByteArray entityBomb()
{
    QByteArray dtd = "<!DOCTYPE r [<!ENTITY e0 \"0123456789\">";
    for (int i = 1; i < 9; ++i)
        dtd += "<!ENTITY e" + QByteArray::number(i) + " \"" +
               ("&e" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
    return dtd + "]>" + wrap("&e8;");
}

} // namespace

// What the update check reads from a server's answer, including answers made to
// hurt: each must give its status quickly, whatever its size or shape.
class tst_UpdateFile : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
};

void tst_UpdateFile::read_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("version");

    const auto row = [](const char *name, const QByteArray &data, Status status,
                        const QString &version = QString()) {
        QTest::newRow(name) << data << int(status) << version;
    };
    row("newer", wrap("2.0.4"), Status::Ok, "2.0.4");
    row("equal, with declaration and comment",
        "<?xml version=\"1.0\"?>\n<!-- a <b> c -->" + wrap("2.0.3.41"), Status::Ok, "2.0.3.41");
    row("older", wrap("1.9"), Status::Ok, "1.9");
    row("text of child elements too", wrap("2.<b>0</b>.4"), Status::Ok, "2.0.4");
    row("blanks between elements are no text", wrap("\n <b>2.1</b>\n "), Status::Ok, "2.1");
    row("CDATA", wrap("<![CDATA[2.0.4 <new>]]>"), Status::Ok, "2.0.4 <new>");
    row("no Program_Version", "<r><Program_Info/></r>", Status::Ok, "");
    row("first Program_Version only",
        "<r><Program_Info><Program_Version>1</Program_Version>"
        "<Program_Version>2</Program_Version></Program_Info></r>",
        Status::Ok, "1");
    row("no Program_Info", "<r><Program_Version>9</Program_Version></r>", Status::NoProgramInfo);
    row("Program_Info too deep", "<r><x>" + wrap("9") + "</x></r>", Status::NoProgramInfo);
    row("predefined entities and character references", wrap("&lt;2&#46;0&#x2E;4&gt;"), Status::Ok,
        "<2.0.4>");
    row("undeclared entity", wrap("&version;"), Status::NotXml);
    row("entity bomb", entityBomb(), Status::TooComplex);
    row("external entity", "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" + wrap("&x;"),
        Status::TooComplex);
    row("truncated", wrap("2.0.4").left(40), Status::NotXml);
    row("malformed after the version", wrap("2.0.4") + "<extra>", Status::NotXml);
    row("empty", "", Status::NotXml);
    row("32 levels", "<r><Program_Info/>" + nested(31) + "</r>", Status::Ok, "");
    row("33 levels", "<r><Program_Info/>" + nested(32) + "</r>", Status::TooDeep);
    // 980 KB, under the size cap: a DOM parser took minutes and then overflowed its stack.
    row("140,000 levels", QByteArray("<a>").repeated(140000) + wrap("9"), Status::TooDeep);
    row("64 attributes", manyAttributes(64), Status::Ok, "9");
    row("65 attributes", manyAttributes(65), Status::TooComplex);
    row("'=' in attribute values is no attribute",
        "<r><Program_Info a=\"=====>\" b='x=y'><Program_Version>9</Program_Version>"
        "</Program_Info></r>",
        Status::Ok, "9");
    row("80,000 attributes", manyAttributes(80000), Status::TooComplex);
    const QByteArray hugeText(UpdateFile::MaxSize - 200, 'x');
    row("huge text", wrap(hugeText), Status::Ok, QString::fromLatin1(hugeText));
    row("over the size cap", wrap(QByteArray(UpdateFile::MaxSize, ' ')), Status::TooLarge);
}

void tst_UpdateFile::read()
{
    QFETCH(QByteArray, data);
    QFETCH(int, status);
    QFETCH(QString, version);

    // A parser that takes minutes on the deep or wide rows runs into the test's time limit.
    const UpdateFile::Result result = UpdateFile::read(data);
    QCOMPARE(int(result.status), status);
    QCOMPARE(result.version, version);
}

QTEST_GUILESS_MAIN(tst_UpdateFile)
#include "tst_updatefile.moc"
