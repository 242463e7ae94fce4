// The records as CSV for spreadsheets and venue systems: RFC 4180, UTF-8,
// one header row, one row per game.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

#include "records/RecordedGame.h"

class CRecordFile;
class QIODevice;

// Fields joined by commas and ended by CR LF; a field holding a comma, a
// quote or a line break is quoted, with its quotes doubled.
QByteArray CsvLine(const QStringList& fields);
QStringList CsvHeader();
QStringList CsvFields(const RecordedGame& game);

// Every game that started on the local day since or later (all without it),
// oldest first.
bool WriteCsv(CRecordFile& file, std::optional<QDate> since, QIODevice& out, QString& strError);
// To strTarget, written whole or not at all, or to standard output for "-".
bool ExportCsvFile(CRecordFile& file, const QString& strTarget, std::optional<QDate> since, QString& strError);
// quado --export-records: the file at strRecords, opened only to read.
bool ExportRecords(const QString& strRecords, const QString& strTarget, std::optional<QDate> since,
                   QString& strError);
