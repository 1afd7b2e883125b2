#pragma once

#include "core/Result.h"

#include <QObject>
#include <QString>
#include <memory>

class QPluginLoader;

// One module of the program: a Qt plugin whose interface id names the build it belongs to, loaded
// when first needed and kept for the program's life. A module that cannot be loaded (missing, cut
// short, not a plugin, from another build) is refused with its reason, and the next call tries
// again, so that a module put back while the program runs is loaded at the next announcement.
class ModuleLoader final {
public:
    ModuleLoader(QString path, QString interfaceId);
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // The module's root object; a failure's text is one line naming the file and the reason.
    Result<QObject*> load();

    template <typename Interface> Result<Interface*> loadAs() {
        const Result<QObject*> root = load();
        if (!root)
            return Failure{root.error()};
        if (auto* module = qobject_cast<Interface*>(root.value()))
            return module;
        return Failure{m_path + QStringLiteral(": it does not offer what its id promises")};
    }

private:
    QString m_path;
    QString m_interfaceId;
    std::unique_ptr<QPluginLoader> m_loader; // set once loaded
};

// Why the file at path cannot be mapped whole: a file shorter than the segments its ELF header
// asks to load would fault when first touched. Empty when it can be.
QString WhyNotMappable(const QString& path);
