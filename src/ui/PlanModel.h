#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <array>
#include <cstdint>
#include <vector>

#include "engine/FileItem.h"

class FileItemList;

// A change plan as a flat table, one row per item: its operation, the path
// the task log shows, and why it is skipped. Rows can be limited to some
// operations; the counts always cover the whole plan. Deletions stand out
// (bold, coloured, a bin icon) so that a person reviewing the plan does not
// miss them. The plan must outlive the model and not change while shown.
class PlanModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColOperation, ColPath, ColReason, ColumnCount };

    static constexpr int kOperationCount = opExclude + 1;
    // Filter masks: one bit per operation code.
    static constexpr std::uint32_t bit(std::int32_t operation) { return 1u << operation; }
    static constexpr std::uint32_t kAll = (1u << kOperationCount) - 1;
    static constexpr std::uint32_t kDeletions = (1u << opDeleteFile) | (1u << opDeleteDirectory);

    explicit PlanModel(const FileItemList& plan, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Shows only the items whose operation's bit is set in `mask`.
    void setOperationFilter(std::uint32_t mask);
    std::uint32_t operationFilter() const { return m_filter; }

    // Items of each operation in the whole plan, by operation code.
    std::size_t count(std::int32_t operation) const;
    std::size_t total() const { return m_total; }
    // The plan's index of the item a row shows.
    std::size_t itemIndex(int row) const { return m_rows[static_cast<std::size_t>(row)]; }

    static bool isDeletion(std::int32_t operation) {
        return operation == opDeleteFile || operation == opDeleteDirectory;
    }
    // The operation's name as the windows show it ("Delete file").
    static QString operationText(std::int32_t operation);

private:
    const FileItemList& m_plan;
    std::array<std::size_t, kOperationCount> m_counts{};
    std::size_t m_total = 0;
    std::uint32_t m_filter = kAll;
    // The plan indexes of the rows shown, in plan order.
    std::vector<std::uint32_t> m_rows;
    mutable QIcon m_deleteIcon;
};
