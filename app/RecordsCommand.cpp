#include "app/RecordsCommand.h"

#include <QCoreApplication>
#include <QDate>
#include <QString>

#include <cstdio>
#include <optional>

#include "records/RecordFile.h"
#include "records/RecordsCsv.h"

int RunRecordsExport(int argc, char* argv[], const StartOptions& options)
{
    QCoreApplication application(argc, argv);
    const QString strRecords = options.strRecordsFile.empty()
                                   ? DefaultRecordsPath(QString::fromStdString(options.instance.strName))
                                   : QString::fromLocal8Bit(options.strRecordsFile.c_str());
    std::optional<QDate> since;
    if (!options.strSince.empty())
        since = QDate::fromString(QString::fromStdString(options.strSince), Qt::ISODate);
    QString strError;
    if (!ExportRecords(strRecords, QString::fromLocal8Bit(options.strExportRecords.c_str()), since, strError)) {
        std::fprintf(stderr, "quado: cannot export the records: %s\n", qPrintable(strError));
        return 1;
    }
    return 0;
}
