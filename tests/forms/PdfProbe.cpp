#include "PdfProbe.h"

#include <QPointF>
#include <QProcess>
#include <QRegularExpression>

namespace {

QString Run(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

QString PdfProbe::Info(const QString &field) const {
    const QString report = Run(QStringLiteral("pdfinfo"), {file});
    for (const QString &line : report.split(QLatin1Char('\n'))) {
        if (line.startsWith(field + QLatin1Char(':'))) {
            return line.mid(field.size() + 1).trimmed();
        }
    }
    return QString();
}

QStringList PdfProbe::Lines(int page) const {
    QStringList arguments;
    if (page > 0) {
        arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
                  << QString::number(page);
    }
    arguments << file << QStringLiteral("-");
    QStringList lines;
    const QString text = Run(QStringLiteral("pdftotext"), arguments);
    for (const QString &line : text.split(QRegularExpression(QStringLiteral("[\\n\\f]")))) {
        if (!line.trimmed().isEmpty()) {
            lines.append(line.trimmed());
        }
    }
    return lines;
}

QPointF PdfProbe::FirstWordTopLeft() const {
    const QString html =
        Run(QStringLiteral("pdftotext"),
            {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
             QStringLiteral("-l"), QStringLiteral("1"), file, QStringLiteral("-")});
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"(-?[0-9.]+)\" yMin=\"(-?[0-9.]+)\""));
    const QRegularExpressionMatch match = word.match(html);
    if (!match.hasMatch()) {
        return QPointF(-1, -1);
    }
    return QPointF(match.captured(1).toDouble(), match.captured(2).toDouble());
}
