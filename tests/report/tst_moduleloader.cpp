// The program's modules are loaded only when whole and of the program's own build; anything else
// is refused with a reason and never mapped. (The next announcement trying again is checked on the
// core, in tst_appcore.)
#include "report/ModuleLoader.h"
#include "report/NetworkFetch.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString builtModule() {
    return qEnvironmentVariable("NIMBREL_BINARY_DIR") + QStringLiteral("/app/modules/") +
           QLatin1String(kNetworkModuleFile);
}

// Puts the first `bytes` bytes of from (all of it for -1) at to.
bool copyCut(const QString& from, const QString& to, qint64 bytes) {
    QFile source(from);
    QFile target(to);
    return source.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly) &&
           target.write(bytes < 0 ? source.readAll() : source.read(bytes)) >= 0;
}

} // namespace

class tst_ModuleLoader final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusesWhatIsNotItsOwn_data();
    void refusesWhatIsNotItsOwn();
};

void tst_ModuleLoader::refusesWhatIsNotItsOwn_data() {
    QTest::addColumn<QString>("source"); // empty: no file
    QTest::addColumn<qint64>("bytes");   // -1: the whole file
    QTest::addColumn<QString>("reason"); // empty: loaded

    const QString module = builtModule();
    QTest::newRow("whole") << module << qint64(-1) << QString();
    QTest::newRow("missing") << QString() << qint64(-1) << QStringLiteral("the file is missing");
    QTest::newRow("cut to 4 KB") << module << qint64(4096) << QStringLiteral("it is cut short");
    QTest::newRow("cut to 24 KB") << module << qint64(24576) << QStringLiteral("it is cut short");
    QTest::newRow("cut inside its header")
        << module << qint64(40) << QStringLiteral("its header is cut short");
    QTest::newRow("not a library")
        << qEnvironmentVariable("NIMBREL_SOURCE_DIR") + QStringLiteral("/README.md") << qint64(-1)
        << QStringLiteral("it is not a shared library");
    QTest::newRow("of another build") << QStringLiteral(NIMBREL_OTHER_BUILD_MODULE) << qint64(-1)
                                      << QStringLiteral("it belongs to another build");
}

void tst_ModuleLoader::refusesWhatIsNotItsOwn() {
    QFETCH(QString, source);
    QFETCH(qint64, bytes);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(kNetworkModuleFile));
    if (!source.isEmpty())
        QVERIFY(copyCut(source, path, bytes));

    ModuleLoader loader(path, QStringLiteral(NIMBREL_NETWORK_MODULE_IID));
    const Result<NetworkModule*> module = loader.loadAs<NetworkModule>();

    QCOMPARE(module.ok(), reason.isEmpty());
    if (!module) {
        QVERIFY2(module.error().startsWith(QLatin1String(kNetworkModuleFile) +
                                           QStringLiteral(": ") + reason),
                 qPrintable(module.error()));
        QVERIFY(!module.error().contains(QLatin1Char('\n')));
    }
}

QTEST_MAIN(tst_ModuleLoader)
#include "tst_moduleloader.moc"
