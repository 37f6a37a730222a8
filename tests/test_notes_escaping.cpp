#include "text/notes_escaping.h"
#include "text/text.h"

#include <QTest>

using namespace kelvane;

class TestNotesEscaping : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void skim_data();
    void skim();
    void convertNotesLine_data();
    void convertNotesLine();
};

void TestNotesEscaping::skim_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("escaped");

    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("markup") << QByteArray("a<b&c>d") << QByteArray("a&#60;b&#38;c>d");
    QTest::newRow("two opening brackets") << QByteArray("<<") << QByteArray("&#60;&#60;");
    QTest::newRow("codes 127 128 160 255")
        << QByteArray("\x7f\x80\xa0\xff") << QByteArray("\x7f&#128;&#160;&#255;");
    QTest::newRow("reference escaped again") << QByteArray("&amp;") << QByteArray("&#38;amp;");
    QTest::newRow("UTF-8 byte by byte")
        << QByteArray("Caf\xc3\xa9") << QByteArray("Caf&#195;&#169;");
    QTest::newRow("quotes, tab and NUL pass")
        << QByteArray("\"'\t\0x", 5) << QByteArray("\"'\t\0x", 5);
    QTest::newRow("self-test sentence")
        << QByteArray("this is a < test << more <<<< more & and more && and &&& and >")
        << QByteArray(
               "this is a &#60; test &#60;&#60; more &#60;&#60;&#60;&#60; more &#38; and more "
               "&#38;&#38; and &#38;&#38;&#38; and >");
}

void TestNotesEscaping::skim()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, escaped);
    const std::string result =
        kelvane::skim(std::string_view(text.constData(), std::size_t(text.size())));
    QCOMPARE(QByteArray::fromStdString(result), escaped);
}

void TestNotesEscaping::convertNotesLine_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<bool>("switchOn");
    QTest::addColumn<QByteArray>("stored");

    const QByteArray cafe("    <Notes>Caf\xe9</Notes>");
    QTest::newRow("indented note, switch on")
        << cafe << true << QByteArray("    &#60;Notes>Caf&#233;&#60;/Notes>");
    QTest::newRow("switch off") << cafe << false << cafe;
    QTest::newRow("no high character keeps < and &")
        << QByteArray("<Notes>Easy &amp; fast</Notes>") << true
        << QByteArray("<Notes>Easy &amp; fast</Notes>");
    QTest::newRow("15 characters or fewer")
        << QByteArray("<Notes>\xe9") << true << QByteArray("<Notes>\xe9");
    QTest::newRow("16 characters qualify")
        << QByteArray("<Notes>\xe9</Notes>") << true << QByteArray("&#60;Notes>&#233;&#60;/Notes>");
    QTest::newRow("continuation line") << QByteArray("more caf\xe9 text</Notes>") << true
                                       << QByteArray("more caf\xe9 text</Notes>");
    QTest::newRow("tab indented") << QByteArray("\t<Notes>Caf\xe9</Notes>") << true
                                  << QByteArray("\t<Notes>Caf\xe9</Notes>");
    QTest::newRow("lower case tag")
        << QByteArray("<notes>Caf\xe9</notes>") << true << QByteArray("<notes>Caf\xe9</notes>");
}

void TestNotesEscaping::convertNotesLine()
{
    QFETCH(QByteArray, raw);
    QFETCH(bool, switchOn);
    QFETCH(QByteArray, stored);
    const std::string_view rawView(raw.constData(), std::size_t(raw.size()));
    std::string scratch;
    const std::string_view result =
        kelvane::convertNotesLine(rawView, trim(rawView), switchOn, scratch);
    QCOMPARE(QByteArray(result.data(), qsizetype(result.size())), stored);
}

QTEST_GUILESS_MAIN(TestNotesEscaping)
#include "test_notes_escaping.moc"
