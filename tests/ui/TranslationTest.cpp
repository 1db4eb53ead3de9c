// Every text the windows show goes through a catalogue. With the
// pseudo-translation installed, in which each catalogue text is wrapped in
// "⟦…⟧", every text a window shows must come out transformed, except the data
// the test itself put in (names of tasks and policies, paths, the plan's
// reasons) and the program's name.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <functional>
#include <memory>

#include "UiFixture.h"
#include "engine/FileItemList.h"
#include "model/FileExclude.h"
#include "model/Task.h"
#include "platform/Clock.h"
#include "support/TempTree.h"
#include "ui/PlanModel.h"
#include "ui/RunStatusText.h"
#include "ui/TfrmHistory.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmPreview.h"
#include "ui/TfrmProgress.h"
#include "ui/dialogs/TfrmSelectFileAttr.h"
#include "ui/dialogs/TfrmSelectFileType.h"
#include "ui/dialogs/TfrmTaskWizard.h"
#include "widgets/DialogService.h"
#include "widgets/HelpPages.h"
#include "widgets/HelpWindow.h"
#include "widgets/TTrayIcon.h"
#include "widgets/Translations.h"

using namespace Qt::StringLiterals;

namespace {

// One text on screen and where it is.
struct Shown {
    QString where;
    QString text;
};

QString plain(const QString& text) {
    return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

QString nameOf(const QObject* object) {
    const QString name = object->objectName();
    return QString::fromLatin1(object->metaObject()->className()) +
           (name.isEmpty() ? QString() : u" "_s + name);
}

void add(QList<Shown>& shown, const QObject* object, const QString& what, const QString& text) {
    if (!text.trimmed().isEmpty()) {
        shown.push_back({nameOf(object) + u" "_s + what, plain(text)});
    }
}

void collectActions(QList<Shown>& shown, const QWidget* widget) {
    for (const QAction* action : widget->actions()) {
        add(shown, action, u"text"_s, action->text());
        add(shown, action, u"tip"_s, action->toolTip());
        if (action->menu() != nullptr) {
            add(shown, action->menu(), u"title"_s, action->menu()->title());
            collectActions(shown, action->menu());
        }
    }
}

void collectModel(QList<Shown>& shown, const QAbstractItemView* view) {
    const QAbstractItemModel* model = view->model();
    if (model == nullptr) {
        return;
    }
    for (int column = 0; column < model->columnCount(); ++column) {
        add(shown, view, u"header"_s, model->headerData(column, Qt::Horizontal).toString());
    }
    // Rows, and the rows beneath them.
    const std::function<void(const QModelIndex&)> rows = [&](const QModelIndex& parent) {
        for (int row = 0; row < model->rowCount(parent); ++row) {
            for (int column = 0; column < model->columnCount(parent); ++column) {
                const QModelIndex index = model->index(row, column, parent);
                add(shown, view, u"cell"_s, index.data().toString());
                add(shown, view, u"cell tip"_s, index.data(Qt::ToolTipRole).toString());
            }
            rows(model->index(row, 0, parent));
        }
    };
    rows(QModelIndex());
}

// Every text a window shows or holds ready to show (on hidden pages too).
// The help pages' own text is a document, not a catalogue text, and the
// standard buttons of a button box are Qt's, translated by Qt's catalogue.
QList<Shown> textsOf(const QWidget& window) {
    QList<Shown> shown;
    add(shown, &window, u"title"_s, window.windowTitle());
    QList<QWidget*> widgets = window.findChildren<QWidget*>();
    widgets.prepend(const_cast<QWidget*>(&window));
    for (const QWidget* widget : widgets) {
        add(shown, widget, u"tip"_s, widget->toolTip());
        collectActions(shown, widget);
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            add(shown, label, u"text"_s, label->text());
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            const auto* box = qobject_cast<const QDialogButtonBox*>(button->parentWidget());
            const bool qtOwn =
                box != nullptr && box->standardButton(const_cast<QAbstractButton*>(button)) !=
                                      QDialogButtonBox::NoButton;
            if (!qtOwn) {
                add(shown, button, u"text"_s, button->text());
            }
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            add(shown, group, u"title"_s, group->title());
        } else if (const auto* tabs = qobject_cast<const QTabBar*>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                add(shown, tabs, u"tab"_s, tabs->tabText(i));
                add(shown, tabs, u"tab tip"_s, tabs->tabToolTip(i));
            }
        } else if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
            for (int i = 0; i < combo->count(); ++i) {
                add(shown, combo, u"item"_s, combo->itemText(i));
            }
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
            add(shown, edit, u"placeholder"_s, edit->placeholderText());
        } else if (const auto* spin = qobject_cast<const QSpinBox*>(widget)) {
            add(shown, spin, u"prefix"_s, spin->prefix());
            add(shown, spin, u"suffix"_s, spin->suffix());
            add(shown, spin, u"special"_s, spin->specialValueText());
        } else if (const auto* text = qobject_cast<const QPlainTextEdit*>(widget)) {
            add(shown, text, u"text"_s, text->toPlainText());
        } else if (const auto* view = qobject_cast<const QAbstractItemView*>(widget);
                   view != nullptr && qobject_cast<const QHeaderView*>(view) == nullptr) {
            collectModel(shown, view);
        }
    }
    return shown;
}

QList<Shown> textsOfMenu(const QMenu& menu) {
    QList<Shown> shown;
    add(shown, &menu, u"title"_s, menu.title());
    collectActions(shown, &menu);
    return shown;
}

// What is left of a text once the data and the transformed parts are taken
// out, innermost first (a transformed text may hold another as an
// argument); empty when no letter is left. Data are texts, and paths: a
// datum ending in "/" stands for every path beneath it (up to a line's end,
// a colon, a quote or a bracket of a transformed text).
QString untransformed(QString text, QStringList data) {
    // Longest first, so that a name holding a shorter one goes whole.
    std::sort(data.begin(), data.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& item : data) {
        if (item.endsWith(u'/')) {
            text.remove(
                QRegularExpression(QRegularExpression::escape(item) + u"[^\n:\"\u27e6\u27e7]*"_s));
        } else if (!item.isEmpty()) {
            text.remove(item);
        }
    }
    // A path shortened at its front to fit its label is data too, whatever
    // part of the test's folder is left of it.
    static const QRegularExpression elided(u"/\\.\\.\\./[^\n:\"\u27e6\u27e7]*"_s);
    text.remove(elided);
    static const QRegularExpression part(u"\u27e6[^\u27e6\u27e7]*\u27e7"_s);
    for (qsizetype before = -1; before != text.size();) {
        before = text.size();
        text.remove(part);
    }
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); }) ? text
                                                                                       : QString();
}

// The texts that did not go through the catalogue, one a line.
QString offenders(const QList<Shown>& shown, const QStringList& data) {
    QStringList lines;
    for (const Shown& one : shown) {
        if (!untransformed(one.text, data).isEmpty()) {
            lines << one.where + u": \""_s + one.text + u"\""_s;
        }
    }
    return lines.join(u'\n');
}

// Fails with the whole list of texts that did not go through the catalogue
// (a failure message alone would be cut short).
#define CHECK_TRANSLATED(shown, data)                                    \
    do {                                                                 \
        const QList<Shown> shownTexts = (shown);                         \
        QVERIFY2(!shownTexts.isEmpty(), "no text was found");            \
        const QString wrong = offenders(shownTexts, (data));             \
        if (!wrong.isEmpty()) {                                          \
            qWarning().noquote() << u"not translated:\n"_s + wrong;      \
        }                                                                \
        QVERIFY2(wrong.isEmpty(), "texts shown as the source has them"); \
    } while (false)

// While it exists, hands the first modal dialog that opens to `act` and then
// rejects it.
class WhenModalShown {
public:
    explicit WhenModalShown(std::function<void(QDialog&)> act) : m_act(std::move(act)) {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog != nullptr && qobject_cast<QMessageBox*>(dialog) == nullptr) {
                m_timer.stop();
                m_seen = true;
                m_act(*dialog);
                dialog->reject();
            }
        });
        m_timer.start(20);
    }
    bool seen() const { return m_seen; }

private:
    std::function<void(QDialog&)> m_act;
    QTimer m_timer;
    bool m_seen = false;
};

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

Q_DECLARE_METATYPE(std::function<void(TfrmMain&)>)

class TranslationTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TempDir> m_dir;
    platform::FixedClock m_clock;
    std::vector<TaskSpec> m_tasks;
    // Data the windows show as it stands.
    QStringList m_data;

    std::unique_ptr<TfrmMain> makeWindow() {
        auto window = std::make_unique<TfrmMain>(testWindowOptions(m_dir->path(), &m_clock));
        window->FormCreate();
        window->show();
        auto* list = child<QListWidget>(*window, "lstTasks");
        list->item(0)->setSelected(true);
        window->lstTasksClick();
        return window;
    }

    // The texts of the modal dialog that `open` shows.
    static QList<Shown> textsOfModal(const std::function<void()>& open) {
        QList<Shown> shown;
        const WhenModalShown watcher([&shown](QDialog& dialog) { shown = textsOf(dialog); });
        open();
        return shown;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(translations::installFile(QStringLiteral(TWINFOLD_PSEUDO_QM)), TWINFOLD_PSEUDO_QM);
        QVERIFY(QCoreApplication::translate("TfrmProgress", "&Stop").startsWith(u'\u27e6'));
    }

    void init() {
        m_dir = std::make_unique<testsupport::TempDir>();
        // The task dialog proposes task logs under the state folder.
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString(*m_dir / "state"));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(*m_dir / "config"));
        m_clock.set(platform::makeDateTime(2024, 5, 6, 10, 0, 0));
        DialogService::instance().reset();
        m_tasks.clear();
        for (const char* name : {"Zebra documents", "Quokka pictures"}) {
            TaskSpec spec;
            spec.name = name;
            spec.id = std::string("id-") + name;
            spec.main = *m_dir / (std::string(name) + " main");
            spec.mirror = *m_dir / (std::string(name) + " mirror");
            testsupport::makeDirs(spec.main);
            testsupport::makeDirs(spec.mirror);
            testsupport::writeFile(spec.main + "/file.txt", "x");
            m_tasks.push_back(spec);
        }
        writeConfig(m_dir->path(), m_tasks);
        m_data = QStringList{u"Twinfold"_s, u"< default copy policy >"_s, q(m_dir->path() + "/")};
        for (const TaskSpec& spec : m_tasks) {
            m_data << q(spec.name);
        }
    }

    void cleanup() {
        DialogService::instance().reset();
        m_dir.reset();
    }

    void mainWindow() {
        auto window = makeWindow();
        CHECK_TRANSLATED(textsOf(*window), m_data);
    }

    // The tray's menu, its submenus of tasks, and the tip over the icon.
    void trayMenu() {
        auto window = makeWindow();
        window->popMenuTrayPopup();
        QList<Shown> shown = textsOfMenu(*window->trayMenu());
        shown.push_back({u"tray icon tip"_s, window->trayIcon()->hint()});
        CHECK_TRANSLATED(shown, m_data);
    }

    void progressWindow() {
        TfrmProgress progress(nullptr);
        progress.setTaskName(q(m_tasks[0].name));
        progress.handleBegin();
        RunProgress step;
        step.fileTotal = 3;
        step.directoryTotal = 1;
        step.fileDone = 1;
        step.currentPath = q(m_tasks[0].main) + u"/file.txt"_s;
        progress.handleUpdate(step);
        progress.show();
        CHECK_TRANSLATED(textsOf(progress), m_data);
    }

    // The dialogs the main window opens, each as it opens.
    void dialogsOfTheMainWindow_data() {
        QTest::addColumn<std::function<void(TfrmMain&)>>("open");
        QTest::newRow("task dialog, new task")
            << std::function<void(TfrmMain&)>([](TfrmMain& window) { window.btnAddTaskClick(); });
        QTest::newRow("task dialog, a task")
            << std::function<void(TfrmMain&)>([](TfrmMain& window) { window.btnEditTaskClick(); });
        QTest::newRow("wizard") << std::function<void(TfrmMain&)>(
            [](TfrmMain& window) { window.btnTaskWizardClick(); });
        QTest::newRow("copy policy") << std::function<void(TfrmMain&)>(
            [](TfrmMain& window) { window.btnCopyPolicyClick(); });
        QTest::newRow("settings") << std::function<void(TfrmMain&)>(
            [](TfrmMain& window) { window.btnSettingsClick(); });
        QTest::newRow("versions") << std::function<void(TfrmMain&)>(
            [](TfrmMain& window) { window.btnVersionsClick(); });
    }
    void dialogsOfTheMainWindow() {
        QFETCH(std::function<void(TfrmMain&)>, open);
        auto window = makeWindow();
        CHECK_TRANSLATED(textsOfModal([&] { open(*window); }), m_data);
    }

    // The task dialog's option tree finds each page by its node, not by the
    // node's text, which the catalogue changes.
    void taskDialogPagesUnderTheTranslation() {
        auto window = makeWindow();
        QSet<int> pages;
        int pageCount = 0;
        const WhenModalShown watcher([&](QDialog& dialog) {
            auto* tree = dialog.findChild<QTreeWidget*>(u"tvOption"_s);
            auto* stack = dialog.findChild<QStackedWidget*>(u"nbOption"_s);
            pageCount = stack->count();
            for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
                tree->setCurrentItem(*it);
                pages.insert(stack->currentIndex());
            }
        });
        window->btnAddTaskClick();
        QVERIFY(watcher.seen());
        QCOMPARE(pages.size(), pageCount);
    }

    void filePickers() {
        const QStringList extensions{u".txt"_s, u".jpg"_s};
        TfrmSelectFileType types;
        types.AddTypes(extensions);
        CHECK_TRANSLATED(textsOf(types), m_data + extensions);

        TfrmSelectFileAttr attributes;
        QStringList names = m_data;
        for (const FileExclude::AttrName& attr : FileExclude::attrNames()) {
            names << q(std::string(attr.name));
        }
        CHECK_TRANSLATED(textsOf(attributes), names);
    }

    void historyWindow() {
        RunResult failed;
        failed.origin = RunOrigin::Schedule;
        failed.failed = 1;
        failed.done = 2;
        failed.heldDeletions = 1;
        failed.problems = {{true, m_tasks[0].mirror + "/file.txt", "Permission denied"},
                           {false, m_tasks[0].main + "/other.txt", "changed since the plan"}};
        RunResult stopped;
        stopped.origin = RunOrigin::Tray;
        stopped.simulate = true;
        stopped.aborted = true;
        RunResult fine;
        fine.origin = RunOrigin::CommandLine;
        QStringList data = m_data;
        data << u"Permission denied"_s << u"changed since the plan"_s;
        for (const RunResult* run : {&failed, &stopped, &fine}) {
            data << runstatus::startText(*run);
        }

        TfrmHistory history(q(m_tasks[0].name));
        history.setRuns({failed, stopped, fine}, QString());
        // Each run's details in turn.
        auto* runs = child<QTreeWidget>(history, "lstRuns");
        QList<Shown> shown = textsOf(history);
        for (int row = 1; row < runs->topLevelItemCount(); ++row) {
            runs->setCurrentItem(runs->topLevelItem(row));
            shown += textsOf(history);
        }
        CHECK_TRANSLATED(shown, data);

        TfrmHistory empty(q(m_tasks[0].name));
        empty.setRuns({}, QString());
        CHECK_TRANSLATED(textsOf(empty), m_data);
    }

    void previewWindow() {
        Task task;
        FileItemList plan(&task);
        for (std::int32_t op = 0; op < PlanModel::kOperationCount; ++op) {
            FileItem& item = plan.newItem();
            item.setSource(m_tasks[0].main + "/item" + std::to_string(op));
            item.setTarget(op == opDeleteFile || op == opDeleteDirectory
                               ? std::string()
                               : m_tasks[0].mirror + "/item" + std::to_string(op));
            item.setOperation(op);
            item.setReason(op == opSkip ? "Permission denied" : "");
        }
        TfrmPreview preview(q(m_tasks[0].name), plan);
        // The reasons are the plan's own words, as the task log has them.
        CHECK_TRANSLATED(textsOf(preview), m_data + QStringList{u"Permission denied"_s});

        const FileItemList nothing(&task);
        TfrmPreview empty(q(m_tasks[0].name), nothing);
        CHECK_TRANSLATED(textsOf(empty), m_data);
    }

    void helpWindow() {
        const QString page = helpPagePath(HelpTopic::Overview);
        QVERIFY2(!page.isEmpty(), "the help pages are not beside the tests");
        QWidget owner;
        HelpWindow* help = HelpWindow::open(&owner, page);
        // The page's title is the document's own.
        const QString title = child<QTextBrowser>(*help, "txtHelp")->documentTitle();
        CHECK_TRANSLATED(textsOf(*help), m_data + QStringList{title});
    }

    // Boxes the windows show through the dialog service: their caption and
    // text.
    void messageBoxes_data() {
        QTest::addColumn<std::function<void(TfrmMain&)>>("raise");
        QTest::newRow("help page missing") << std::function<void(TfrmMain&)>([](TfrmMain& window) {
            DialogService::instance().setNextAnswer(QMessageBox::Ok);
            showHelpFile(&window, u"/nonexistent/help.html"_s);
        });
        QTest::newRow("wizard without a name")
            << std::function<void(TfrmMain&)>([](TfrmMain& window) {
                   TfrmTaskWizard* wizard = nullptr;
                   const WhenModalShown watcher([&wizard](QDialog& dialog) {
                       wizard = qobject_cast<TfrmTaskWizard*>(&dialog);
                       auto* name = dialog.findChild<QLineEdit*>(u"edtTaskName"_s);
                       auto* next = dialog.findChild<QPushButton*>(u"btnNext"_s);
                       next->click();  // to the name page
                       name->clear();
                       DialogService::instance().setNextAnswer(QMessageBox::Ok);
                       next->click();
                   });
                   window.btnTaskWizardClick();
                   QVERIFY(wizard != nullptr);
               });
        QTest::newRow("about") << std::function<void(TfrmMain&)>([](TfrmMain& window) {
            DialogService::instance().setNextAnswer(QMessageBox::Ok);
            window.btnAboutClick();
        });
        QTest::newRow("delete tasks") << std::function<void(TfrmMain&)>([](TfrmMain& window) {
            DialogService::instance().setNextAnswer(QMessageBox::No);
            window.btnRemoveTaskClick();
        });
    }
    void messageBoxes() {
        QFETCH(std::function<void(TfrmMain&)>, raise);
        auto window = makeWindow();
        DialogService& service = DialogService::instance();
        const int before = service.messageCount();
        raise(*window);
        QCOMPARE(service.messageCount(), before + 1);
        QList<Shown> shown{{u"caption"_s, service.lastCaption()}, {u"text"_s, service.lastText()}};
        CHECK_TRANSLATED(shown, m_data);
    }
};

QTEST_MAIN(TranslationTest)
#include "TranslationTest.moc"
