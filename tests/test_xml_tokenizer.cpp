// The tokens of well-formed XML, and where and why XML that is not
// well-formed is stopped, whatever the size of the buffer it is read through.

#include "history_text.h"
#include "input/chunk_reader.h"
#include "input/file_source.h"
#include "xml/xml_tokenizer.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kelvane;

namespace {

// The place of an offset as "line:column".
QString Place(ChunkReader &input, qint64 offset)
{
    qint64 line = 0, column = 0;
    input.position(offset, line, column);
    return QStringLiteral("%1:%2").arg(line).arg(column);
}

// The tokens as a line of text: S:name (/ when empty), E:name, T:text, C:
// (CDATA), M: (comment), P: (instruction), D: (DOCTYPE), and at the end
// X:line:column of the first byte that is not UTF-8; or the error and its
// place as "line:column what". Tokens longer than 1 MiB are errors.
QString Tokens(const QString &path, std::size_t chunkSize)
{
    FileSource file(path);
    if (!file.open())
        return file.errorString();
    ChunkReader input(InputBuffer(file, chunkSize));
    XmlTokenizer tokens(input);
    tokens.setLongestToken(1 << 20);
    QStringList out;
    for (;;) {
        const XmlToken token = tokens.next();
        const auto text = [&](std::string_view view) {
            return QString::fromUtf8(view.data(), qsizetype(view.size()));
        };
        switch (token) {
        case XmlToken::StartTag: {
            QString tag = QStringLiteral("S:") + text(tokens.name());
            for (const XmlAttribute &attribute : tokens.attributes())
                tag += QStringLiteral("[%1=%2]").arg(text(attribute.name), text(attribute.value));
            out << tag + (tokens.emptyElement() ? QStringLiteral("/") : QString());
            break;
        }
        case XmlToken::EndTag:
            out << QStringLiteral("E:") + text(tokens.name());
            break;
        case XmlToken::Text: // its pieces as one
            if (out.isEmpty() || !out.last().startsWith(QStringLiteral("T:")))
                out << QStringLiteral("T:");
            out.last() += text(tokens.token());
            break;
        case XmlToken::CData:
            out << QStringLiteral("C:");
            break;
        case XmlToken::Comment:
            out << QStringLiteral("M:");
            break;
        case XmlToken::Instruction:
            out << QStringLiteral("P:");
            break;
        case XmlToken::Doctype:
            out << QStringLiteral("D:");
            break;
        case XmlToken::End:
            if (tokens.firstMisencoded() >= 0) {
                qint64 line = 0, column = 0;
                tokens.firstMisencodedPosition(line, column);
                out << QStringLiteral("X:%1:%2").arg(line).arg(column);
            }
            return out.join(QLatin1Char(' '));
        case XmlToken::Error:
            return Place(input, tokens.errorOffset()) + QLatin1Char(' ') + tokens.error();
        }
    }
}

} // namespace

class TestXmlTokenizer : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void tokens_data();
    void tokens();
};

void TestXmlTokenizer::tokens_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("an empty element") << QByteArray("<a/>") << "S:a/";
    QTest::newRow("declaration, attributes, every kind of content")
        << QByteArray(
               "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<a x='1' y = \"2>3\">t&amp;<![CDATA[<x>]]>"
               "<!----><?p d?></a >")
        << "P: T:\n S:a[x=1][y=2>3] T:t&amp; C: M: P: E:a";
    QTest::newRow("a DOCTYPE with an internal subset")
        << QByteArray(
               "<!DOCTYPE a [<!ELEMENT a (#PCDATA)> <!ATTLIST a b CDATA '>'>]><a>&#x41;&#65;</a>")
        << "D: S:a T:&#x41;&#65; E:a";
    QTest::newRow("prefixed names")
        << QByteArray("<t:a xmlns:t='u'><t:b/></t:a>") << "S:t:a[xmlns:t=u] S:t:b/ E:t:a";

    QTest::newRow("crossed tags") << QByteArray("<a>\n\n  <b></c></a>")
                                  << "3:6 the end tag </c> where </b> was due";
    QTest::newRow("cut off in an element")
        << QByteArray("<a><b></b>") << "1:11 the file ends before the end tag </a>";
    QTest::newRow("cut off in a tag")
        << QByteArray("<a></a") << "1:4 the file ends inside a tag or other markup";
    QTest::newRow("no element") << QByteArray(" \n") << "2:1 the file holds no element";
    QTest::newRow("an unquoted value")
        << QByteArray("<a x=1/>") << "1:6 the attribute x of <a has no quoted value";
    QTest::newRow("a < in a value")
        << QByteArray("<a x='<'/>") << "1:7 a \"<\" in the value of the attribute x";
    QTest::newRow("an unknown entity")
        << QByteArray("<a>&bogus;</a>")
        << "1:4 the reference &bogus; names no character XML defines";
    QTest::newRow("a bare ampersand")
        << QByteArray("<a x='a & b'/>")
        << "1:9 an \"&\" that begins no reference (the character itself is written &amp;)";
    QTest::newRow("a reference to NUL")
        << QByteArray("<a>&#0;</a>") << "1:4 the reference &#0; names no character XML defines";
    QTest::newRow("-- in a comment")
        << QByteArray("<a><!-- x -- y --></a>") << "1:11 \"--\" inside a comment";
    QTest::newRow("two roots") << QByteArray("<a/><b/>") << "1:5 a second root element <b>";
    QTest::newRow("text before the root")
        << QByteArray("x<a/>") << "1:1 text outside the root element";
    QTest::newRow("a late declaration")
        << QByteArray("<a/>\n<?xml version='1.0'?>")
        << "2:1 an XML declaration that is not at the very start of the file";
    QTest::newRow("no blank between attributes")
        << QByteArray("<a x='1'y='2'/>") << "1:9 no blank before an attribute of <a";
    QTest::newRow("an attribute twice")
        << QByteArray("<a x='1' x='2'/>") << "1:10 the attribute x twice in <a";
    QByteArray many = "<a";
    for (int i = 0; i < 40; ++i)
        many += " x" + QByteArray::number(i == 35 ? 20 : i) + "='1'";
    QTest::newRow("the 36th attribute repeating the 21st") << many + "/>"
                                                           << "1:274 the attribute x20 twice in <a";
    QTest::newRow("CDATA outside the root")
        << QByteArray("<![CDATA[x]]><a/>") << "1:1 a CDATA section outside the root element";
    QTest::newRow("a DOCTYPE inside")
        << QByteArray("<a><!DOCTYPE a></a>") << "1:4 a DOCTYPE after the start of the document";
    QTest::newRow("a reference with many leading zeros")
        << QByteArray(
               "<a x='&#x00000000000000000000000000000041;'>&#00000000000000000000000000065;</a>")
        << "S:a[x=&#x00000000000000000000000000000041;] T:&#00000000000000000000000000065; E:a";

    QTest::newRow("names beyond ASCII")
        << QByteArray("<caf\xC3\xA9 \xC3\xA9t\xC3\xA9='1'/>") << "S:caf\u00E9[\u00E9t\u00E9=1]/";
    QTest::newRow("Windows-1252 in text and a value: passed, and the first told")
        << QByteArray("<a x='\xE9'>\n caf\xE9 \xC3</a>")
        << "S:a[x=\uFFFD] T:\n caf\uFFFD \uFFFD E:a X:1:7";
    QTest::newRow("another encoding declared: its bytes as they are")
        << QByteArray("<?xml version='1.0' encoding='ISO-8859-1'?><caf\xE9>\xE9</caf\xE9>")
        << "P: S:caf\uFFFD T:\uFFFD E:caf\uFFFD";
    QTest::newRow("a control character in text")
        << QByteArray("<a>\n\tx\x1B</a>") << "2:3 the character U+001B, which XML does not allow";
    QTest::newRow("NUL in a value")
        << QByteArray("<a x='\0'/>", 10) << "1:7 the character U+0000, which XML does not allow";
    QTest::newRow("U+FFFE in text") << QByteArray("<a>\xEF\xBF\xBE</a>")
                                    << "1:4 the character U+FFFE, which XML does not allow";
    QTest::newRow("U+FFFF in a comment") << QByteArray("<a><!-- \xEF\xBF\xBF --></a>")
                                         << "1:9 the character U+FFFF, which XML does not allow";
    QTest::newRow("a control character in CDATA")
        << QByteArray("<a><![CDATA[\x7F\x08]]></a>")
        << "1:14 the character U+0008, which XML does not allow";
    QTest::newRow("]]> in text") << QByteArray("<a>x]]>y</a>") << "1:5 \"]]>\" in character data";
    QTest::newRow("a character no name may hold")
        << QByteArray("<a\xC3\x97"
                      "b/>")
        << "1:3 the character U+00D7 in a name, which no name may hold";
    QTest::newRow("a byte that is not UTF-8 in a name")
        << QByteArray("<a><b\xE9/></a>") << "1:6 bytes that are not UTF-8 in a name";
    QTest::newRow("nested too deep")
        << QByteArray("<a>").repeated(4097) << "1:12289 elements nested more than 4096 deep";
    QTest::newRow("a comment left open")
        << "<a><!--" + QByteArray(1536 << 10, '-').replace("--", "- ") + "</a>"
        << "1:4 a comment that does not end within 1 MiB";
    QTest::newRow("a quote left open") << "<a x='" + QByteArray(1536 << 10, 'x') + "/></a>"
                                       << "1:1 a tag (or a quoted value in it) that does not end "
                                          "within 1 MiB";

    QTest::newRow("a tag beginning with a digit")
        << QByteArray("<a><1/></a>")
        << "1:4 a \"<\" that begins no tag (the character itself is written &lt;)";
}

// Every case read whole and through buffers cut anywhere: same tokens, same error.
void TestXmlTokenizer::tokens()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("case.xml"));
    QVERIFY(history_text::WriteFile(path, text));
    for (const std::size_t chunk : {1 << 20, 1, 2, 5})
        QCOMPARE(Tokens(path, chunk), expected);
}

QTEST_GUILESS_MAIN(TestXmlTokenizer)
#include "test_xml_tokenizer.moc"
