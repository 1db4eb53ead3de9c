#include "ui/TfrmVersions.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <set>

#include "model/Task.h"
#include "platform/Path.h"
#include "ui/dialogs/DialogSupport.h"
#include "widgets/DialogService.h"

namespace {

// What a tree row stands for: its path inside the run ("<pair>/<path>"),
// and for a file the index of its version.
constexpr int kPathRole = Qt::UserRole;
constexpr int kVersionRole = Qt::UserRole + 1;

QString fromBytes(std::string_view text) {
    return dialogs::toQString(text);
}

QByteArray toBytes(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string bytesOf(const QTreeWidgetItem* row) {
    return row->data(0, kPathRole).toByteArray().toStdString();
}

bool isSameOrBeneath(std::string_view path, std::string_view folder) {
    return path == folder || (path.size() > folder.size() && path.starts_with(folder) &&
                              path[folder.size()] == platform::kSeparator);
}

}  // namespace

TfrmVersions::TfrmVersions(const Task& task, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmVersions"));
    setWindowTitle(tr("Versions - %1").arg(fromBytes(task.name)));
    m_root = task.versionsFolder();
    const auto& pairs = task.folderList.items();
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        m_mains[versions::pairFolderName(i, pairs[i].mirror)] = pairs[i].main;
    }

    lstRuns = new QListWidget(this);
    lstRuns->setObjectName(QStringLiteral("lstRuns"));
    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setPlaceholderText(tr("Find a file by name in every run"));
    edtSearch->setClearButtonEnabled(true);
    tvKept = new QTreeWidget(this);
    tvKept->setObjectName(QStringLiteral("tvKept"));
    tvKept->setHeaderLabels({tr("Name"), tr("Size"), tr("Run")});
    tvKept->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvKept->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    btnRestoreTo = new QPushButton(tr("Restore &to..."), this);
    btnRestoreTo->setObjectName(QStringLiteral("btnRestoreTo"));
    btnRestoreMain = new QPushButton(tr("Restore to &main folder"), this);
    btnRestoreMain->setObjectName(QStringLiteral("btnRestoreMain"));
    btnClose = new QPushButton(tr("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);

    auto* runsColumn = new QVBoxLayout;
    runsColumn->addWidget(new QLabel(tr("Runs, newest first:"), this));
    runsColumn->addWidget(lstRuns, 1);
    auto* keptColumn = new QVBoxLayout;
    keptColumn->addWidget(edtSearch);
    keptColumn->addWidget(tvKept, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(runsColumn, 1);
    top->addLayout(keptColumn, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblStatus, 1);
    buttons->addWidget(btnRestoreTo);
    buttons->addWidget(btnRestoreMain);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    resize(760, 460);

    connect(lstRuns, &QListWidget::currentRowChanged, this, [this] {
        if (edtSearch->text().isEmpty()) {
            showRun();
        }
    });
    connect(edtSearch, &QLineEdit::textChanged, this,
            [this] { edtSearch->text().isEmpty() ? showRun() : showSearch(); });
    connect(btnRestoreTo, &QPushButton::clicked, this, &TfrmVersions::restoreTo);
    connect(btnRestoreMain, &QPushButton::clicked, this, &TfrmVersions::restoreToMain);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    reload();
}

void TfrmVersions::reload() {
    lstRuns->clear();
    m_versions.clear();
    if (m_root.empty()) {
        lblStatus->setText(tr("This task keeps no versions; turn them on in its settings."));
        showRun();
        return;
    }
    platform::OpResult result;
    m_versions = versions::listVersions(m_root, result);
    if (!result.ok()) {
        lblStatus->setText(tr("The versions folder can not be read: %1")
                               .arg(QString::fromStdString(result.message)));
    }
    std::set<std::string> seen;
    for (const versions::KeptVersion& version : m_versions) {
        if (seen.insert(version.run).second) {
            auto* row = new QListWidgetItem(fromBytes(version.run), lstRuns);
            row->setData(Qt::UserRole, toBytes(version.run));
        }
    }
    if (lstRuns->count() > 0) {
        lstRuns->setCurrentRow(0);
    }
    edtSearch->text().isEmpty() ? showRun() : showSearch();
}

void TfrmVersions::showRun() {
    tvKept->clear();
    tvKept->setColumnHidden(2, true);
    const QListWidgetItem* current = lstRuns->currentItem();
    if (current == nullptr) {
        return;
    }
    const std::string run = current->data(Qt::UserRole).toByteArray().toStdString();
    std::map<std::string, QTreeWidgetItem*> folders;
    // The folder node of a path, made with its parents as needed.
    const auto folderOf = [&](const auto& self, const std::string& path) -> QTreeWidgetItem* {
        if (path.empty()) {
            return nullptr;
        }
        if (auto it = folders.find(path); it != folders.end()) {
            return it->second;
        }
        QTreeWidgetItem* parent = self(self, std::string(platform::folderOf(path)));
        auto* node = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvKept);
        node->setText(0, fromBytes(platform::fileNameOf(path)));
        node->setData(0, kPathRole, toBytes(path));
        folders[path] = node;
        return node;
    };
    for (std::size_t i = 0; i < m_versions.size(); ++i) {
        const versions::KeptVersion& version = m_versions[i];
        if (version.run != run) {
            continue;
        }
        QTreeWidgetItem* parent = folderOf(folderOf, std::string(platform::folderOf(version.path)));
        auto* node = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvKept);
        node->setText(0, fromBytes(platform::fileNameOf(version.path)));
        node->setText(1, QLocale().formattedDataSize(static_cast<qint64>(version.size)));
        node->setData(0, kPathRole, toBytes(version.path));
        node->setData(0, kVersionRole, static_cast<qulonglong>(i));
    }
    tvKept->expandAll();
    tvKept->sortItems(0, Qt::AscendingOrder);
}

void TfrmVersions::showSearch() {
    tvKept->clear();
    tvKept->setColumnHidden(2, false);
    const QString text = edtSearch->text();
    for (std::size_t i = 0; i < m_versions.size(); ++i) {
        const versions::KeptVersion& version = m_versions[i];
        if (!fromBytes(platform::fileNameOf(version.filePath()))
                 .contains(text, Qt::CaseInsensitive)) {
            continue;
        }
        auto* node = new QTreeWidgetItem(tvKept);
        node->setText(0, fromBytes(version.path));
        node->setText(1, QLocale().formattedDataSize(static_cast<qint64>(version.size)));
        node->setText(2, fromBytes(version.run));
        node->setData(0, kPathRole, toBytes(version.path));
        node->setData(0, kVersionRole, static_cast<qulonglong>(i));
    }
}

bool TfrmVersions::selectRun(const QString& run) {
    const auto rows = lstRuns->findItems(run, Qt::MatchExactly);
    if (rows.isEmpty()) {
        return false;
    }
    lstRuns->setCurrentItem(rows.front());
    return true;
}

bool TfrmVersions::selectPath(const QString& path) {
    tvKept->clearSelection();
    for (QTreeWidgetItemIterator it(tvKept); *it != nullptr; ++it) {
        if (fromBytes(bytesOf(*it)) == path) {
            (*it)->setSelected(true);
            return true;
        }
    }
    return false;
}

void TfrmVersions::setSearchText(const QString& text) {
    edtSearch->setText(text);
}

QStringList TfrmVersions::shownRows() const {
    QStringList rows;
    for (QTreeWidgetItemIterator it(tvKept); *it != nullptr; ++it) {
        const QString path = fromBytes(bytesOf(*it));
        rows << (tvKept->isColumnHidden(2) ? path : (*it)->text(2) + QLatin1Char('|') + path);
    }
    return rows;
}

std::vector<versions::RestoreItem> TfrmVersions::selectedItems(bool toMain) const {
    std::vector<versions::RestoreItem> items;
    std::set<std::size_t> taken;
    for (const QTreeWidgetItem* row : tvKept->selectedItems()) {
        const std::string path = bytesOf(row);
        std::vector<versions::KeptVersion> chosen;
        if (row->data(0, kVersionRole).isValid()) {
            const auto index = static_cast<std::size_t>(row->data(0, kVersionRole).toULongLong());
            if (taken.insert(index).second) {
                chosen.push_back(m_versions[index]);
            }
        } else {
            // A folder of the shown run: every file beneath it.
            const QListWidgetItem* run = lstRuns->currentItem();
            const std::string runName =
                run != nullptr ? run->data(Qt::UserRole).toByteArray().toStdString() : "";
            for (std::size_t i = 0; i < m_versions.size(); ++i) {
                if (m_versions[i].run == runName && isSameOrBeneath(m_versions[i].path, path) &&
                    taken.insert(i).second) {
                    chosen.push_back(m_versions[i]);
                }
            }
        }
        if (!toMain) {
            for (versions::RestoreItem& item : versions::restoreLayout(chosen, path)) {
                items.push_back(std::move(item));
            }
            continue;
        }
        for (const versions::KeptVersion& version : chosen) {
            // "<pair>/<path>" goes back to "<main of the pair>/<path>".
            const std::string file = version.filePath();
            const std::size_t slash = file.find(platform::kSeparator);
            if (slash != std::string::npos && m_mains.count(file.substr(0, slash)) != 0) {
                items.push_back({version, file});
            }
        }
    }
    return items;
}

QString TfrmVersions::defaultRestoreFolder() const {
    const QListWidgetItem* run = lstRuns->currentItem();
    const QString base =
        QDir::home().filePath(tr("Restored %1").arg(run != nullptr ? run->text() : tr("versions")));
    QString folder = base;
    for (int n = 2; QFileInfo::exists(folder); ++n) {
        folder = base + QStringLiteral(" (%1)").arg(n);
    }
    return folder;
}

void TfrmVersions::restoreTo() {
    const auto items = selectedItems(false);
    if (items.empty()) {
        lblStatus->setText(tr("Select what to restore first."));
        return;
    }
    const QString folder = DialogService::instance().saveFileName(
        this, tr("Restore into a new folder"), defaultRestoreFolder());
    if (folder.isEmpty()) {
        return;
    }
    report(versions::restore(m_root, items, dialogs::toModel(folder), false));
}

void TfrmVersions::restoreToMain() {
    const auto items = selectedItems(true);
    if (items.empty()) {
        lblStatus->setText(tr("Select what to restore first."));
        return;
    }
    versions::RestoreResult total;
    // Each pair's files go back into its own main folder.
    std::map<std::string, std::vector<versions::RestoreItem>> byMain;
    for (const versions::RestoreItem& item : items) {
        const std::size_t slash = item.target.find(platform::kSeparator);
        byMain[m_mains.at(item.target.substr(0, slash))].push_back(
            {item.version, item.target.substr(slash + 1)});
    }
    std::vector<std::pair<std::string, versions::RestoreItem>> conflicts;
    for (const auto& [main, list] : byMain) {
        const versions::RestoreResult result = versions::restore(m_root, list, main, false);
        total.restored += result.restored;
        total.failures.insert(total.failures.end(), result.failures.begin(), result.failures.end());
        for (const std::string& target : result.conflicts) {
            for (const versions::RestoreItem& item : list) {
                if (item.target == target) {
                    conflicts.push_back({main, item});
                }
            }
        }
    }
    if (!conflicts.empty()) {
        QString names;
        for (std::size_t i = 0; i < conflicts.size() && i < 10; ++i) {
            names += QStringLiteral("\n") + fromBytes(conflicts[i].second.target);
        }
        if (conflicts.size() > 10) {
            names += QStringLiteral("\n...");
        }
        const auto answer = DialogService::instance().message(
            this, QMessageBox::Question, tr("Confirm"),
            tr("%n file(s) already exist in the main folder:%1\n\nReplace them with the kept "
               "version?",
               nullptr, static_cast<int>(conflicts.size()))
                .arg(names),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        for (const auto& [main, item] : conflicts) {
            if (answer == QMessageBox::Yes) {
                const versions::RestoreResult replaced =
                    versions::restore(m_root, {item}, main, true);
                total.restored += replaced.restored;
                total.failures.insert(total.failures.end(), replaced.failures.begin(),
                                      replaced.failures.end());
            } else {
                total.conflicts.push_back(item.target);
            }
        }
    }
    report(total);
}

void TfrmVersions::report(const versions::RestoreResult& result) {
    QString text = tr("%n file(s) restored.", nullptr, static_cast<int>(result.restored));
    if (!result.conflicts.empty()) {
        text += QLatin1Char(' ') + tr("%n existing file(s) left as they were.", nullptr,
                                      static_cast<int>(result.conflicts.size()));
    }
    if (!result.failures.empty()) {
        text += QLatin1Char(' ') +
                tr("%n failed: %1", nullptr, static_cast<int>(result.failures.size()))
                    .arg(fromBytes(result.failures.front()));
    }
    lblStatus->setText(text);
}
