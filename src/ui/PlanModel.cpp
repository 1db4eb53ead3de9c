#include "ui/PlanModel.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QFile>
#include <QFont>
#include <QStyle>

#include "engine/FileItemList.h"
#include "platform/Assert.h"

namespace {

QString fromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace

PlanModel::PlanModel(const FileItemList& plan, QObject* parent)
    : QAbstractTableModel(parent), m_plan(plan) {
    // Row numbers are ints and indexes 32 bits wide; a plan never nears it.
    TF_ASSERT(plan.size() < static_cast<std::size_t>(INT32_MAX));
    m_total = plan.size();
    m_rows.reserve(m_total);
    std::uint32_t index = 0;
    for (const FileItem& item : plan) {
        ++m_counts[static_cast<std::size_t>(item.operation())];
        m_rows.push_back(index++);
    }
}

int PlanModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PlanModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PlanModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size())) {
        return {};
    }
    const FileItem& item = m_plan[itemIndex(index.row())];
    const std::int32_t operation = item.operation();
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case ColOperation:
                    return operationText(operation);
                case ColPath:
                    return fromPath(item.logPath());
                case ColReason:
                    return QString::fromUtf8(item.reason());
                default:
                    return {};
            }
        case Qt::ToolTipRole:
            if (index.column() == ColPath) {
                const std::string target = item.target();
                return target.empty()
                           ? fromPath(item.source())
                           : tr("%1\nto %2").arg(fromPath(item.source()), fromPath(target));
            }
            return index.column() == ColReason ? QString::fromUtf8(item.reason()) : QVariant();
        case Qt::DecorationRole:
            if (index.column() == ColOperation && isDeletion(operation)) {
                if (m_deleteIcon.isNull()) {
                    m_deleteIcon = QApplication::style()->standardIcon(QStyle::SP_TrashIcon);
                }
                return m_deleteIcon;
            }
            return {};
        case Qt::FontRole:
            if (isDeletion(operation)) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::ForegroundRole:
            if (isDeletion(operation)) {
                return QBrush(QColor(0xb0, 0x00, 0x20));
            }
            if (operation == opSkip || operation == opExclude) {
                return QBrush(Qt::gray);
            }
            return {};
        default:
            return {};
    }
}

QVariant PlanModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case ColOperation:
            return tr("Operation");
        case ColPath:
            return tr("Path");
        case ColReason:
            return tr("Reason");
        default:
            return {};
    }
}

void PlanModel::setOperationFilter(std::uint32_t mask) {
    mask &= kAll;
    if (mask == m_filter) {
        return;
    }
    beginResetModel();
    m_filter = mask;
    m_rows.clear();
    std::uint32_t index = 0;
    for (const FileItem& item : m_plan) {
        if ((mask & bit(item.operation())) != 0) {
            m_rows.push_back(index);
        }
        ++index;
    }
    endResetModel();
}

std::size_t PlanModel::count(std::int32_t operation) const {
    return operation >= 0 && operation < kOperationCount
               ? m_counts[static_cast<std::size_t>(operation)]
               : 0;
}

QString PlanModel::operationText(std::int32_t operation) {
    switch (operation) {
        case opSkip:
            return tr("Skip");
        case opCreateFile:
            return tr("Create file");
        case opUpdateFile:
            return tr("Update file");
        case opDeleteFile:
            return tr("Delete file");
        case opCreateDirectory:
            return tr("Create directory");
        case opDeleteDirectory:
            return tr("Delete directory");
        case opExclude:
            return tr("Exclude");
        default:
            return {};
    }
}
