// ContactListModel: one of the two contact lists of the main window, as a
// table model over the rows the transfer engine keeps.
//
// The engine owns the rows (caption, sub-items, tick, record pointer); the
// model only shows them: column 0 is the row's caption with its check box,
// the following columns the sub-items of the shown columns in table order,
// the header the captions of the column table; every cell's tooltip is its
// whole text. The text colour follows the
// record's state (same, modified, new) unless colours are switched off.
// Ticking a check box ticks the engine's row.
//
// The engine tells the window when it has rebuilt a list or refreshed the
// states; the window passes that on with Rebuild and StatesChanged.
#pragma once

#include <QAbstractTableModel>

#include "src/core/TransferEngine.h"

class ContactListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    ContactListModel(TransferEngine& engine, ListType eList, QObject* pParent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int nRole = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int nSection, Qt::Orientation eOrientation, int nRole = Qt::DisplayRole) const override;

    // The engine replaced the list's rows and columns.
    void Rebuild();
    // The engine changed states or ticks: every row is shown again.
    void StatesChanged();

    // The column-table index of a shown column (section), 0 outside.
    int TableIndex(int nSection) const;
    ListType GetListType() const { return m_eList; }

private:
    TransferEngine& m_Engine;
    ListType m_eList;
    // What the views were last told, so that they never see a count the
    // model has not announced.
    int m_nRows = 0;
    int m_nColumns = 0;
};
