// The Records window's list: one row per game of the chosen day, each column
// shown as a person reads it and sorted by its plain value (SortRole).
#pragma once

#include <QAbstractTableModel>

#include "records/RecordedGame.h"

class CGamesTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColStart, ColLength, ColOutcome, ColCause, ColLevel, ColMaxLevel, ColSerial, ColumnCount };
    static constexpr int SortRole = Qt::UserRole;

    explicit CGamesTableModel(QObject* pParent = nullptr);

    void SetGames(RecordedGames games);
    void Append(const RecordedGames& games);
    const RecordedGames& Games() const { return m_games; }
    // The language changed: the headers and the shown names are read again.
    void Retranslate();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation nOrientation, int nRole = Qt::DisplayRole) const override;

private:
    RecordedGames m_games;
};

// "Won", "Timed out", ...; "Adapter lost", ...: the stored names as read.
QString OutcomeText(const QString& strOutcome);
QString CauseText(const QString& strCause);
