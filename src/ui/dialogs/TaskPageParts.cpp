#include "ui/dialogs/TaskPageParts.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogs/DialogSupport.h"

namespace taskpage {

std::string bytesOf(const QListWidgetItem* row, int role) {
    return dialogs::fromBytes(row->data(role).toByteArray());
}

void addFolderRow(QListWidget* list, const std::string& main, const std::string& mirror) {
    auto* row = new QListWidgetItem(dialogs::toQString(main), list);
    row->setData(kMainRole, dialogs::toBytes(main));
    row->setData(kMirrorRole, dialogs::toBytes(mirror));
}

void addFileRow(QListWidget* list, const std::string& path) {
    auto* row = new QListWidgetItem(dialogs::toQString(path), list);
    row->setData(kPathRole, dialogs::toBytes(path));
}

void addUniqueFileRow(QListWidget* list, const QString& path) {
    if (list->findItems(path, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) {
        addFileRow(list, dialogs::toModel(path));
    }
}

bool removeSelectedRow(QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) {
        return false;
    }
    delete selected.front();
    return true;
}

QListWidget* makeFileList(const char* name, QWidget* parent) {
    auto* list = dialogs::makeNamed<QListWidget>(name, parent);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return list;
}

QPushButton* makeSmallButton(const char* name, const QString& text, QWidget* parent) {
    auto* button = dialogs::makeNamed<QPushButton>(name, text, parent);
    button->setAutoDefault(false);
    const QFontMetrics metrics(button->font());
    button->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("...")) +
                          metrics.averageCharWidth() * 4);
    return button;
}

QLabel* labelFor(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

QGroupBox* pageGroup(QWidget* page, const QString& caption) {
    auto* group = new QGroupBox(caption, page);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    return group;
}

}  // namespace taskpage
