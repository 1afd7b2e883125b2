#include "settings/SettingsFiles.h"

#include "settings/ReadRules.h"

#include "core/AtomicFile.h"
#include "core/Text.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <iterator>

namespace Settings {
namespace {

enum class Rule { WholeLine, WholeLineTrimmed, FirstFieldTrimmed };

struct FileRow {
    File file;
    QStringView name;
    Rule rule;
    QStringView fallback; // the value while the file is missing
};

// The greeting is read as its whole line: a greeting with a comma must come back whole.
constexpr FileRow kFiles[] = {
    {File::Zip, u"citydat.txt", Rule::WholeLineTrimmed, u"90012"},
    {File::Greeting, u"greetdat.txt", Rule::WholeLine, u"Hello"},
    {File::Units, u"unitdat.txt", Rule::FirstFieldTrimmed, u""},
    {File::WindSection, u"winddat.txt", Rule::FirstFieldTrimmed, u"Y"},
    {File::CitySection, u"locatdat.txt", Rule::FirstFieldTrimmed, u"Y"},
    {File::ForecastSection, u"forecdat.txt", Rule::FirstFieldTrimmed, u"Y"},
    {File::SunSection, u"sundat.txt", Rule::FirstFieldTrimmed, u"Y"},
    {File::AtmosphereSection, u"atmodat.txt", Rule::FirstFieldTrimmed, u"Y"},
    {File::Voice, u"voicedat.txt", Rule::WholeLineTrimmed, u"0"},
};

const FileRow& rowOf(File file) {
    return *std::find_if(std::begin(kFiles), std::end(kFiles),
                         [file](const FileRow& row) { return row.file == file; });
}

QString applyRule(Rule rule, const QString& line) {
    switch (rule) {
    case Rule::WholeLine:
        return line;
    case Rule::WholeLineTrimmed:
        return TrimSpaces(line);
    case Rule::FirstFieldTrimmed:
        return TrimSpaces(FirstField(line));
    }
    return line;
}

} // namespace

QString NameOf(File file) {
    return rowOf(file).name.toString();
}

QString DefaultOf(File file) {
    return rowOf(file).fallback.toString();
}

bool IsSettingsFileName(const QString& name) {
    return std::any_of(std::begin(kFiles), std::end(kFiles),
                       [&name](const FileRow& row) { return row.name == name; });
}

QString PathOf(const QString& dataDir, File file) {
    return dataDir + u'/' + NameOf(file);
}

bool IsPresent(const QString& dataDir, File file) {
    return !dataDir.isEmpty() && QFileInfo(PathOf(dataDir, file)).isFile();
}

QString Read(const QString& dataDir, File file) {
    if (!IsPresent(dataDir, file))
        return {};
    QFile stored(PathOf(dataDir, file));
    if (!stored.open(QIODevice::ReadOnly))
        return {};
    return applyRule(rowOf(file).rule, FirstLine(stored.read(kMaxLineBytes)));
}

Result<> Write(const QString& dataDir, File file, const QString& value) {
    if (dataDir.isEmpty())
        return Failure{QStringLiteral("The data folder is not known.")};
    return WriteLineAtomically(PathOf(dataDir, file), value);
}

} // namespace Settings
