#include "PracticePath.h"

#include "RegIniFile.h"

QString GetCurrentPracticePath() {
    // The reader lives for this one lookup; it is released also when the read raises.
    TRegIniFile registry(QStringLiteral("Software"));
    return registry.ReadString(QStringLiteral("Corvanta"), QStringLiteral("Current Practice"),
                               QString());
}

QString NormalizeDataPath(const QString &path) {
    QString result = path;
    if (!result.isEmpty() && !result.endsWith(QLatin1Char('\\')))
        result.append(QLatin1Char('\\'));
    // QString::toUpper would also change letters outside ASCII (and turn 'ß' into "SS").
    for (QChar &c : result) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return result;
}
