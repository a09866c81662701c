// Readout: the position and cut texts, typed positions, and the message table's placeholders.
#include "mainwindow/Readout.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cstdint>

QString FillPlaceholders(QString Text, const QStringList& Args) {
    qsizetype from = 0;
    for (const QString& arg : Args) {
        const qsizetype at = Text.indexOf(QStringLiteral("%s"), from);
        if (at < 0)
            break;
        Text.replace(at, 2, arg);
        // Searching on after the argument keeps a "%s" inside it as it is.
        from = at + arg.size();
    }
    return Text;
}

QString TimeMsText(int64_t Ms) {
    Ms = std::max<int64_t>(Ms, 0);
    return QStringLiteral("%1:%2:%3.%4")
        .arg(Ms / 3600000)
        .arg(Ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(Ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(Ms % 1000, 3, 10, QLatin1Char('0'));
}

QString PositionLine(const TReadoutTranslate& Translate, int32_t Frame, int32_t Count, int64_t Ms,
                     int64_t TotalMs, const TFrameFacts& Facts) {
    QStringList kind;
    if (Facts.Key)
        kind << Translate(QStringLiteral("key frame"));
    if (const char* type = PictureTypeText(Facts.Picture); *type)
        kind << Translate(QString::fromLatin1(type));
    QString line = FillPlaceholders(Translate(QStringLiteral("Frame %s / %s")),
                                    {QString::number(int64_t{Frame} + 1), QString::number(Count)}) +
                   QStringLiteral("   ") + TimeMsText(Ms) + QStringLiteral(" / ") +
                   TimeMsText(TotalMs);
    if (!kind.isEmpty())
        line += QStringLiteral("   ") + kind.join(QStringLiteral(", "));
    return line;
}

QString CutLine(const TReadoutTranslate& Translate, const TCutPlan& Plan, int32_t AskedStart) {
    QStringList args = {QString::number(int64_t{Plan.FirstFrame} + 1),
                        QString::number(int64_t{Plan.LastFrame} + 1), TimeMsText(Plan.DurationMs),
                        QLocale().formattedDataSize(static_cast<qint64>(Plan.Bytes), 1,
                                                    QLocale::DataSizeTraditionalFormat)};
    if (AskedStart <= Plan.FirstFrame)
        return FillPlaceholders(Translate(QStringLiteral("Cut: frames %s to %s, %s, about %s")),
                                args);
    args << QString::number(int64_t{AskedStart} - Plan.FirstFrame);
    return FillPlaceholders(
        Translate(QStringLiteral(
            "Cut: frames %s to %s, %s, about %s; it starts %s frames before the mark")),
        args);
}

std::optional<int32_t> ParsePosition(const QString& Text,
                                     const std::function<int32_t(int64_t Ms)>& FrameAtMs) {
    const QString text = Text.trimmed();
    static const QRegularExpression frame(QStringLiteral("^\\d{1,10}$"));
    if (frame.match(text).hasMatch()) {
        const qint64 n = text.toLongLong();
        if (n < 1 || n > INT32_MAX)
            return std::nullopt;
        return static_cast<int32_t>(n - 1);
    }
    // h:mm:ss.fff, m:ss, ss.fff or a number of seconds ending in "s".
    static const QRegularExpression time(
        QStringLiteral("^(?:(?:(\\d{1,6}):)?(\\d{1,6}):)?(\\d{1,9})(?:[.,](\\d{1,3}))?(s?)$"));
    const QRegularExpressionMatch m = time.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const bool colon = text.contains(QLatin1Char(':'));
    const bool fraction = !m.captured(4).isEmpty();
    if (!colon && !fraction && m.captured(5).isEmpty())
        return std::nullopt; // a bare number is a frame
    if (colon && !m.captured(5).isEmpty())
        return std::nullopt;
    const int64_t hours = m.captured(1).toLongLong();
    const int64_t minutes = m.captured(2).toLongLong();
    const int64_t seconds = m.captured(3).toLongLong();
    const QString digits = m.captured(4);
    const int64_t ms =
        digits.isEmpty() ? 0 : digits.leftJustified(3, QLatin1Char('0')).toLongLong();
    return FrameAtMs(((hours * 60 + minutes) * 60 + seconds) * 1000 + ms);
}
