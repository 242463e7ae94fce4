#include "records/RecordsCsv.h"

#include <QFile>
#include <QSaveFile>

#include <cstdio>

#include "protocol/WriteTarget.h"
#include "records/RecordFile.h"

namespace {

// Rows are gathered into blocks of about this size before each write.
constexpr qsizetype WriteBlock = 64 * 1024;

QByteArray CsvField(const QString& str)
{
    const QByteArray utf8 = str.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\r') && !utf8.contains('\n'))
        return utf8;
    QByteArray quoted = utf8;
    quoted.replace("\"", "\"\"");
    return '"' + quoted + '"';
}

// Text the board or the adapter sent, made safe for a spreadsheet: a cell
// that begins like a formula would be run as one when the file is opened,
// so it gets an apostrophe in front, as spreadsheets themselves write it.
QString BoardText(const QString& str)
{
    static const QString FormulaStarts = QStringLiteral("=+-@\t\r");
    if (!str.isEmpty() && FormulaStarts.contains(str.front()))
        return QLatin1Char('\'') + str;
    return str;
}

} // namespace

QByteArray CsvLine(const QStringList& fields)
{
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += CsvField(fields[i]);
    }
    return line + "\r\n";
}

QStringList CsvHeader()
{
    return {QStringLiteral("start_utc"),     QStringLiteral("end_utc"),       QStringLiteral("duration_s"),
            QStringLiteral("outcome"),       QStringLiteral("cause"),         QStringLiteral("level_reached"),
            QStringLiteral("level_number"),  QStringLiteral("max_level"),     QStringLiteral("adapter_serial")};
}

QStringList CsvFields(const RecordedGame& game)
{
    return {FormatUtc(game.nStartMs),
            FormatUtc(game.nEndMs),
            QString::number(game.nDurationMs / 1000.0, 'f', 3),
            game.strOutcome,
            game.strCause,
            BoardText(game.strLevel),
            game.nLevel ? QString::number(*game.nLevel) : QString(),
            BoardText(game.strMaxLevel.value_or(QString())),
            BoardText(game.strSerial)};
}

bool WriteCsv(CRecordFile& file, std::optional<QDate> since, QIODevice& out, QString& strError)
{
    QByteArray block = CsvLine(CsvHeader());
    bool bWriteFailed = false;
    const auto flush = [&] {
        if (out.write(block) != block.size())
            bWriteFailed = true;
        block.clear();
    };
    std::optional<qint64> nFromMs;
    if (since)
        nFromMs = LocalDayBounds(*since).first;
    const bool bRead = file.ForEach(nFromMs,
                                    [&](const RecordedGame& game) {
                                        block += CsvLine(CsvFields(game));
                                        if (block.size() >= WriteBlock)
                                            flush();
                                        return !bWriteFailed;
                                    },
                                    strError);
    if (!bRead)
        return false;
    if (!file.SnapshotHeld()) {
        strError = QStringLiteral("another Quado wrote the records while they were read: export them again");
        return false;
    }
    if (!bWriteFailed)
        flush();
    if (bWriteFailed) {
        strError = out.errorString();
        return false;
    }
    return true;
}

bool ExportCsvFile(CRecordFile& file, const QString& strTarget, std::optional<QDate> since, QString& strError)
{
    if (strTarget == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly)) {
            strError = QStringLiteral("cannot write to standard output");
            return false;
        }
        const bool bOk = WriteCsv(file, since, out, strError);
        // A closed pipe is only found when what is buffered goes out.
        if (!out.flush() && bOk) {
            strError = QStringLiteral("cannot write to standard output");
            return false;
        }
        return bOk;
    }
    // The file is replaced whole: whatever stands at the name must be a file
    // (or nothing), never a device or a pipe a rename would do away with.
    // Looked at again just before the rename, the export having taken a while.
    const auto refusal = [&strTarget] {
        return QString::fromLocal8Bit(RefuseNonFile(QFile::encodeName(strTarget).toStdString()));
    };
    if (const QString strRefusal = refusal(); !strRefusal.isEmpty()) {
        strError = strRefusal;
        return false;
    }
    QSaveFile out(strTarget);
    if (!out.open(QIODevice::WriteOnly)) {
        strError = QStringLiteral("cannot write %1: %2").arg(strTarget, out.errorString());
        return false;
    }
    if (!WriteCsv(file, since, out, strError)) {
        out.cancelWriting();
        strError = QStringLiteral("cannot write %1: %2").arg(strTarget, strError);
        return false;
    }
    if (const QString strRefusal = refusal(); !strRefusal.isEmpty()) {
        out.cancelWriting();
        strError = strRefusal;
        return false;
    }
    if (!out.commit()) {
        strError = QStringLiteral("cannot write %1: %2").arg(strTarget, out.errorString());
        return false;
    }
    return true;
}

bool ExportRecords(const QString& strRecords, const QString& strTarget, std::optional<QDate> since,
                   QString& strError)
{
    CRecordFile file(strRecords, CRecordFile::Mode::ReadOnly);
    QString strNotice;
    if (file.Start(strError, strNotice) != CRecordFile::Status::Open)
        return false;
    return ExportCsvFile(file, strTarget, since, strError);
}
