#include "ui/TfrmPreview.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/PlanModel.h"

TfrmPreview::TfrmPreview(const QString& taskName, const FileItemList& plan, QWidget* parent)
    : QDialog(parent), m_model(new PlanModel(plan, this)) {
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(tr("Plan of \"%1\"").arg(taskName));

    lblCounts = new QLabel(this);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));
    lblCounts->setTextFormat(Qt::RichText);
    lblCounts->setWordWrap(true);
    lblCounts->setText(countsText());

    cboFilter = new QComboBox(this);
    cboFilter->setObjectName(QStringLiteral("cboFilter"));
    const QLocale locale;
    const auto addFilter = [&](const QString& caption, std::uint32_t mask, std::size_t count) {
        cboFilter->addItem(caption + QStringLiteral(" (") +
                               locale.toString(static_cast<qulonglong>(count)) + QLatin1Char(')'),
                           QVariant::fromValue(mask));
    };
    addFilter(tr("All operations"), PlanModel::kAll, m_model->total());
    addFilter(tr("Deletions"), PlanModel::kDeletions,
              m_model->count(opDeleteFile) + m_model->count(opDeleteDirectory));
    addFilter(tr("Changes (no skips or exclusions)"),
              PlanModel::kAll & ~PlanModel::bit(opSkip) & ~PlanModel::bit(opExclude),
              m_model->total() - m_model->count(opSkip) - m_model->count(opExclude));
    for (std::int32_t op = 0; op < PlanModel::kOperationCount; ++op) {
        addFilter(PlanModel::operationText(op), PlanModel::bit(op), m_model->count(op));
    }
    connect(cboFilter, &QComboBox::currentIndexChanged, this, &TfrmPreview::cboFilterChange);
    auto* lblFilter = new QLabel(tr("&Show:"), this);
    lblFilter->setBuddy(cboFilter);

    // A flat view whose rows all have one height, so that a million rows
    // open and scroll without measuring any of them.
    tblItems = new QTableView(this);
    tblItems->setObjectName(QStringLiteral("tblItems"));
    tblItems->setModel(m_model);
    tblItems->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblItems->setShowGrid(false);
    tblItems->setWordWrap(false);
    tblItems->setAlternatingRowColors(true);
    tblItems->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    tblItems->verticalHeader()->hide();
    tblItems->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblItems->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* columns = tblItems->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->resizeSection(
        PlanModel::ColOperation,
        fontMetrics().horizontalAdvance(PlanModel::operationText(opCreateDirectory)) + 48);
    columns->resizeSection(PlanModel::ColPath, 460);
    columns->setStretchLastSection(true);

    btnRunPlan = new QPushButton(tr("&Run this plan"), this);
    btnRunPlan->setObjectName(QStringLiteral("btnRunPlan"));
    btnRunPlan->setToolTip(
        tr("carry out exactly this plan; what changed since it was made is skipped"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(btnRunPlan, QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    buttons->button(QDialogButtonBox::Close)->setDefault(true);

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(lblFilter);
    filterRow->addWidget(cboFilter);
    filterRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCounts);
    layout->addLayout(filterRow);
    layout->addWidget(tblItems, 1);
    layout->addWidget(buttons);
    resize(900, 560);
}

QString TfrmPreview::countsText() const {
    const QLocale locale;
    QStringList parts;
    for (std::int32_t op = 0; op < PlanModel::kOperationCount; ++op) {
        const std::size_t count = m_model->count(op);
        if (count == 0) {
            continue;
        }
        QString part = tr("%1: %2").arg(PlanModel::operationText(op).toHtmlEscaped(),
                                        locale.toString(static_cast<qulonglong>(count)));
        if (PlanModel::isDeletion(op)) {
            part = QStringLiteral("<b><span style=\"color:#b00020\">") + part +
                   QStringLiteral("</span></b>");
        }
        parts << part;
    }
    const QString total = tr("%n item(s)", nullptr, static_cast<int>(m_model->total()));
    return parts.isEmpty() ? tr("Nothing to do: the plan is empty.")
                           : total + QStringLiteral(" &mdash; ") + parts.join(QStringLiteral(", "));
}

void TfrmPreview::cboFilterChange() {
    m_model->setOperationFilter(cboFilter->currentData().value<std::uint32_t>());
}
