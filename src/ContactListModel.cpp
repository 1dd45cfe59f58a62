#include "src/ContactListModel.h"

#include "src/DialogSeam.h"
#include "src/core/ColumnTable.h"

ContactListModel::ContactListModel(TransferEngine& engine, ListType eList, QObject* pParent)
    : QAbstractTableModel(pParent), m_Engine(engine), m_eList(eList)
{
}

int ContactListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_nRows;
}

int ContactListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_nColumns;
}

int ContactListModel::TableIndex(int nSection) const
{
    const std::vector<int>& columns = m_Engine.GetColumns(m_eList);
    if (nSection < 0 || nSection >= static_cast<int>(columns.size()))
        return 0;
    return columns[static_cast<size_t>(nSection)];
}

QVariant ContactListModel::data(const QModelIndex& index, int nRole) const
{
    if (!index.isValid() || index.column() >= m_nColumns)
        return QVariant();
    const ContactRow* pRow = m_Engine.GetRow(m_eList, index.row());
    if (pRow == nullptr)
        return QVariant();

    switch (nRole) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        // The tooltip has the whole text of a cell that the column may cut.
        if (index.column() == 0)
            return AnsiToQString(pRow->strCaption);
        const auto nSub = static_cast<size_t>(index.column() - 1);
        return nSub < pRow->subItems.size() ? AnsiToQString(pRow->subItems[nSub]) : QString();
    }
    case Qt::CheckStateRole:
        if (index.column() != 0)
            return QVariant();
        return pRow->bChecked ? Qt::Checked : Qt::Unchecked;
    case Qt::ForegroundRole: {
        int nColor = 0;
        if (!m_Engine.RowColor(m_eList, index.row(), &nColor))
            return QVariant();  // the list's own text colour
        return ColorRefToQColor(nColor);
    }
    default:
        return QVariant();
    }
}

bool ContactListModel::setData(const QModelIndex& index, const QVariant& value, int nRole)
{
    if (nRole != Qt::CheckStateRole || !index.isValid() || index.column() != 0 ||
        m_Engine.GetRow(m_eList, index.row()) == nullptr)
        return false;
    m_Engine.SetChecked(m_eList, index.row(), value.toInt() == Qt::Checked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags ContactListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags itemFlags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        itemFlags |= Qt::ItemIsUserCheckable;
    return itemFlags;
}

QVariant ContactListModel::headerData(int nSection, Qt::Orientation eOrientation, int nRole) const
{
    if (eOrientation != Qt::Horizontal || nSection >= m_nColumns)
        return QVariant();
    const int nIndex = TableIndex(nSection);
    if (nIndex == 0)
        return QVariant();
    if (nRole == Qt::DisplayRole)
        return QString::fromLatin1(g_ColumnDef[nIndex].pszCaption);
    if (nRole == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant();
}

void ContactListModel::Rebuild()
{
    beginResetModel();
    m_nRows = m_Engine.GetRowCount(m_eList);
    m_nColumns = static_cast<int>(m_Engine.GetColumns(m_eList).size());
    endResetModel();
}

void ContactListModel::StatesChanged()
{
    if (m_nRows > 0 && m_nColumns > 0)
        emit dataChanged(index(0, 0), index(m_nRows - 1, m_nColumns - 1), {Qt::CheckStateRole, Qt::ForegroundRole});
}
