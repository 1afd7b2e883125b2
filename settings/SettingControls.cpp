#include "settings/SettingControls.h"

#include "report/ErrorCodes.h"
#include "report/SpeechEngine.h"
#include "settings/ReadRules.h"

namespace Settings {
namespace {

WriteResult store(const QString& dataDir, File file, const QString& value) {
    const WriteResult written = Write(dataDir, file, value);
    if (written)
        return written;
    return {false, QStringLiteral("The setting could not be saved to \"%1\".\n\n%2")
                       .arg(PathOf(dataDir, file), written.error)};
}

} // namespace

QString CheckValue(Qt::CheckState state) {
    return state == Qt::Checked ? QStringLiteral("Y") : QStringLiteral("N");
}

WriteResult StoreSection(const QString& dataDir, File file, Qt::CheckState state) {
    return store(dataDir, file, CheckValue(state));
}

WriteResult StoreUnits(const QString& dataDir, bool metric) {
    return store(dataDir, File::Units, metric ? QStringLiteral("C") : QStringLiteral("F"));
}

WriteResult StoreZip(const QString& dataDir, const QString& locationText) {
    return store(dataDir, File::City, TrimSpaces(locationText));
}

WriteResult ChooseVoice(const QString& dataDir, SpeechEngine* engine, int position) {
    if (position < 0)
        return {};
    const auto refused = [](const QString& why) {
        return WriteResult{false, QStringLiteral("The voice could not be changed; the previous "
                                                 "voice stays.\n\n%1")
                                      .arg(why)};
    };
    if (!engine)
        return refused(QStringLiteral("No speech engine is available."));
    try {
        engine->SetVoice(Item(engine->GetVoices(), position));
    } catch (const NimbrelError& error) {
        return refused(error.detail());
    } catch (const std::exception& error) {
        return refused(QString::fromLocal8Bit(error.what()));
    }
    return store(dataDir, File::Voice, QString::number(position));
}

} // namespace Settings
