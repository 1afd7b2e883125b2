#include "report/GetAttrValue.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

QString s(const char* text) {
    return QString::fromUtf8(text);
}

const char* const xmlDeclaration = R"(<?xml version="1.0" encoding="UTF-8"?><rss version="2.0">)";

} // namespace

class TestGetAttrValue final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void extracts_data();
    void extracts();
    void absentShortKeysYieldVersion_data();
    void absentShortKeysYieldVersion();
    void findsTheKeyAtEveryOffset_data();
    void findsTheKeyAtEveryOffset();
    void hugeDocumentsAreSearchedInLinearTime_data();
    void hugeDocumentsAreSearchedInLinearTime();
};

void TestGetAttrValue::extracts_data() {
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("quoted value") << s(R"(<c text="Fair" temp="58" />)") << s("temp=") << s("58");
    QTest::newRow("empty quoted value")
        << s(R"(<c temp="" code="3" />)") << s("temp=") << QString();
    QTest::newRow("no quote after the key")
        << s(R"(<c code="3" temp=58 />)") << s("temp=") << QString();
    QTest::newRow("key at the very end") << s(R"(<c code="3" temp=)") << s("temp=") << QString();
    QTest::newRow("key is the whole document") << s("temp=") << s("temp=") << QString();
    QTest::newRow("first of two") << s(R"(<f text="Sunny" /><f text="Rain" />)") << s("text=")
                                  << s("Sunny");
    QTest::newRow("character after key skipped")
        << s(R"(<c temp=58 date="Mon" />)") << s("temp=") << s("8 date=");
    QTest::newRow("value kept as written")
        << s(R"(<c text=" Partly  Cloudy	" />)") << s("text=") << s(" Partly  Cloudy\t");
    QTest::newRow("value with markup")
        << s(R"(<d x="<b>hi</b>&amp;" />)") << s("x=") << s("<b>hi</b>&amp;");
    QTest::newRow("non-ASCII value")
        << s(R"(<l city="São Paulo 🌤" />)") << s("city=") << s("São Paulo 🌤");

    const QString decl = s(xmlDeclaration);
    QTest::newRow("case-sensitive key")
        << decl + s(R"(<c Temp="58" />)") << s("temp=") << s(" version=");
    QTest::newRow("leading blanks must match")
        << decl + s(R"(<u speed="mph" />)") << s("  speed=") << s("rsion=");
    QTest::newRow("two blanks match")
        << decl + s(R"(<w chill="55"  speed="5" />)") << s("  speed=") << s("5");
    QTest::newRow("absent temp= after declaration") << decl << s("temp=") << s(" version=");
    QTest::newRow("absent key, no quote anywhere")
        << s("<rss><c/></rss>") << s("temp=") << QString();

    QTest::newRow("empty document") << QString() << s("temp=") << QString();
    QTest::newRow("empty document and key") << QString() << QString() << QString();
    // An empty key is found at the first character, which is then skipped like a quote.
    QTest::newRow("empty key") << s(R"("abc" x="1")") << QString() << s("abc");
    QTest::newRow("empty key, quote second") << s(R"(a"bc")") << QString() << QString();
    QTest::newRow("key longer than document") << s("temp") << s("temperature=") << QString();
    QTest::newRow("NUL in value") << QString::fromUtf16(u"<c temp=\"5\u0000 8\" />", 16)
                                  << s("temp=") << QString::fromUtf16(u"5\u0000 8", 4);
    QTest::newRow("NUL in key") << QString::fromUtf16(u"a\u0000=\"v\"", 6)
                                << QString::fromUtf16(u"a\u0000=", 3) << s("v");
    QTest::newRow("lone surrogates") << QString::fromUtf16(u"k=\"\xD800\xDC00\xDFFF\"", 7)
                                     << s("k=") << QString::fromUtf16(u"\xD800\xDC00\xDFFF", 3);
}

void TestGetAttrValue::extracts() {
    QFETCH(QString, document);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(GetAttrValue(document, key), value);
}

// The report notices a value missing from the feed by the word "version" in the text.
void TestGetAttrValue::absentShortKeysYieldVersion_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("city=") << s("city=") << s(" version=");
    QTest::newRow("text=") << s("text=") << s(" version=");
    QTest::newRow("temp=") << s("temp=") << s(" version=");
    QTest::newRow("low=") << s("low=") << s("l version=");
    QTest::newRow("high=") << s("high=") << s(" version=");
    QTest::newRow("six characters") << s("abcde=") << s("version=");
}

void TestGetAttrValue::absentShortKeysYieldVersion() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(GetAttrValue(s(xmlDeclaration) + s(R"(<channel><title>Weather</title>)"), key), value);
}

// The search compares several positions at a time; a key must be found wherever it starts, amid
// text that nearly matches it.
void TestGetAttrValue::findsTheKeyAtEveryOffset_data() {
    QTest::addColumn<QString>("key");
    QTest::newRow("one character") << s("=");
    QTest::newRow("report key") << s("temp=");
    QTest::newRow("leading blanks") << s("  visibility=");
    QTest::newRow("32 characters") << s("abcdefghijklmnopqrstuvwxyz01234=");
    QTest::newRow("33 characters") << s("abcdefghijklmnopqrstuvwxyz012345=");
}

void TestGetAttrValue::findsTheKeyAtEveryOffset() {
    QFETCH(QString, key);
    const QString nearMiss = key.first(key.size() - 1) + u'x';
    for (qsizetype offset = 0; offset < 70; ++offset) {
        for (const QString& after : {QString(), nearMiss.repeated(3)}) {
            const QString before = (nearMiss + nearMiss.first(1)).repeated(70).first(offset);
            const QString document = before + key + s(R"("v")") + after;
            QVERIFY2(GetAttrValue(document, key) == s("v"), qPrintable(document));
        }
    }
}

void TestGetAttrValue::hugeDocumentsAreSearchedInLinearTime_data() {
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    constexpr qsizetype tenMegabytes = 10 * 1024 * 1024;
    // Partial matches everywhere keep a search comparing instead of skipping ahead.
    const QString nearMisses = s("temp").repeated(tenMegabytes / 4);
    QTest::newRow("key at the end") << nearMisses + s(R"(temp="58")") << s("temp=") << s("58");
    QTest::newRow("key absent") << nearMisses << s("temp=") << QString();
    QTest::newRow("no closing quote") << s("temp=\"") + nearMisses << s("temp=") << QString();
    const QString as = s("a").repeated(tenMegabytes);
    QTest::newRow("short key, candidates everywhere")
        << as << s("a").repeated(15) + u'b' + s("a").repeated(15) << QString();
    const QString longKey = s("a").repeated(50000) + u'b' + s("a").repeated(50000);
    QTest::newRow("long key absent") << as << longKey << QString();
    QTest::newRow("long key at the end") << as + longKey + s(R"("v")") << longKey << s("v");
    QTest::newRow("value of 10 MB")
        << s("temp=\"") + nearMisses + s("\"") << s("temp=") << nearMisses;
}

void TestGetAttrValue::hugeDocumentsAreSearchedInLinearTime() {
    QFETCH(QString, document);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(GetAttrValue(document, key), value);
    // Linear searches take milliseconds here; one that costs document size times key size would
    // take minutes on the long key.
    QCOMPARE_LT(timer.elapsed(), 5000);
}

QTEST_GUILESS_MAIN(TestGetAttrValue)
#include "tst_getattrvalue.moc"
