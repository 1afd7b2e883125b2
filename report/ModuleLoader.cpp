#include "report/ModuleLoader.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QPluginLoader>

#include <elf.h>

namespace {

template <typename Header, typename Segment> QString whyNotMappable(QFile& file) {
    const QString tableCut = QStringLiteral("its segment table is cut short");
    Header header;
    if (file.read(reinterpret_cast<char*>(&header), qint64(sizeof header)) != qint64(sizeof header))
        return QStringLiteral("its header is cut short");
    if (header.e_phentsize != sizeof(Segment))
        return tableCut;
    for (qint64 i = 0; i < header.e_phnum; ++i) {
        Segment segment;
        if (!file.seek(qint64(header.e_phoff) + i * qint64(sizeof segment)) ||
            file.read(reinterpret_cast<char*>(&segment), qint64(sizeof segment)) !=
                qint64(sizeof segment))
            return tableCut;
        const qint64 end = qint64(segment.p_offset) + qint64(segment.p_filesz);
        if (segment.p_type == PT_LOAD && end > file.size())
            return QStringLiteral("it is cut short (%1 bytes of at least %2)")
                .arg(file.size())
                .arg(end);
    }
    return {};
}

} // namespace

QString WhyNotMappable(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray ident = file.peek(EI_NIDENT);
    if (ident.size() < EI_NIDENT || !ident.startsWith(ELFMAG))
        return QStringLiteral("it is not a shared library");
    return ident[EI_CLASS] == ELFCLASS64 ? whyNotMappable<Elf64_Ehdr, Elf64_Phdr>(file)
                                         : whyNotMappable<Elf32_Ehdr, Elf32_Phdr>(file);
}

ModuleLoader::ModuleLoader(QString path, QString interfaceId)
    : m_path(std::move(path))
    , m_interfaceId(std::move(interfaceId)) {}

// A loaded module stays mapped: the objects it made may outlive this loader.
ModuleLoader::~ModuleLoader() = default;

Result<QObject*> ModuleLoader::load() {
    if (m_loader)
        return m_loader->instance();
    const auto refused = [this](const QString& why) {
        return Failure{QStringLiteral("%1: %2").arg(QFileInfo(m_path).fileName(), why)};
    };
    if (!QFileInfo(m_path).isFile())
        return refused(QStringLiteral("the file is missing"));
    // Checked before anything maps it: a truncated file would fault at its first use.
    if (const QString why = WhyNotMappable(m_path); !why.isEmpty())
        return refused(why);
    // A loader of its own for each attempt, so that nothing of a failed one is remembered.
    auto loader = std::make_unique<QPluginLoader>(m_path);
    const QJsonObject metaData = loader->metaData();
    if (metaData.isEmpty())
        return refused(loader->errorString());
    if (const QString found = metaData.value(QLatin1String("IID")).toString();
        found != m_interfaceId)
        return refused(QStringLiteral("it belongs to another build (%1; this program is %2)")
                           .arg(found, m_interfaceId));
    QObject* root = loader->instance();
    if (!root)
        return refused(loader->errorString());
    m_loader = std::move(loader);
    return root;
}
