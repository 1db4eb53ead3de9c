#include <QCursor>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "DialogFixture.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/TfrmSelectFileAttr.h"
#include "ui/dialogs/TfrmSelectFileType.h"

using namespace Qt::StringLiterals;

namespace {

QListWidget* rows(const QDialog& picker) {
    return child<QListWidget>(picker, "clbFileTypes");
}

QStringList ticked(const QDialog& picker) {
    QStringList texts;
    for (int i = 0; i < rows(picker)->count(); ++i) {
        if (rows(picker)->item(i)->checkState() == Qt::Checked) {
            texts << rows(picker)->item(i)->text();
        }
    }
    return texts;
}

}  // namespace

class PickerTest : public QObject {
    Q_OBJECT

private slots:
    // The type filter ignores letter case, so the picker ticks every spelling
    // of an excluded type: an unticked "TXT" row would drop the type on OK.
    void typePickerTicksTypesInAnyLetterCase() {
        TfrmSelectFileType picker;
        QCOMPARE(picker.windowTitle(), u"Select file type(s)"_s);
        QCOMPARE(picker.GetSelectedTypes(), QString());  // no rows: the empty text

        picker.AddTypes({u"TXT"_s, u"doc"_s, u"txt"_s});
        QCOMPARE(rows(picker)->count(), 3);
        QCOMPARE(ticked(picker), QStringList());
        picker.CheckTypes({u"txt"_s, u"xls"_s});
        QCOMPARE(ticked(picker), (QStringList{u"TXT"_s, u"txt"_s}));

        rows(picker)->item(1)->setCheckState(Qt::Checked);
        QCOMPARE(picker.GetSelectedTypes(), u"TXT;doc;txt;"_s);  // row order
        picker.CheckTypes({});
        QCOMPARE(picker.GetSelectedTypes(), QString());
    }

    // SYSTEM and TEMPORARY are offered only when the task holds them.
    void attributePicker_data() {
        QTest::addColumn<std::uint32_t>("mask");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("text");
        const QStringList offered{u"HIDDEN"_s, u"READONLY"_s, u"ENCRYPTED"_s, u"COMPRESSED"_s};
        QTest::newRow("none") << std::uint32_t(0) << offered << QString();
        QTest::newRow("archive bit only: nothing") << std::uint32_t(0x20) << offered << QString();
        QTest::newRow("hidden and read-only")
            << std::uint32_t(0x3) << offered << u"HIDDEN;READONLY;"_s;
        QTest::newRow("system held: listed and kept")
            << std::uint32_t(0x6)
            << QStringList{u"SYSTEM"_s, u"HIDDEN"_s, u"READONLY"_s, u"ENCRYPTED"_s, u"COMPRESSED"_s}
            << u"SYSTEM;HIDDEN;"_s;
        QTest::newRow("all six in row order")
            << std::uint32_t(0x4907 | 0x20) << (QStringList{u"TEMPORARY"_s, u"SYSTEM"_s} + offered)
            << u"TEMPORARY;SYSTEM;HIDDEN;READONLY;ENCRYPTED;COMPRESSED;"_s;
    }

    void attributePicker() {
        QFETCH(std::uint32_t, mask);
        QFETCH(QStringList, listed);
        QFETCH(QString, text);
        TfrmSelectFileAttr picker;
        QCOMPARE(picker.windowTitle(), u"Select file attribute(s) "_s);
        picker.SetAttributes(mask);
        QStringList shown;
        for (int i = 0; i < rows(picker)->count(); ++i) {
            shown << rows(picker)->item(i)->text();
        }
        QCOMPARE(shown, listed);
        QCOMPARE(picker.GetAttributesText(), text);
    }

    void placement_data() {
        QTest::addColumn<QPoint>("mouse");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("room above and left")
            << QPoint(500, 400) << QRect(0, 0, 1920, 1080) << QPoint(300, 300);
        QTest::newRow("near the top left corner")
            << QPoint(50, 30) << QRect(0, 0, 1920, 1080) << QPoint(0, 0);
        QTest::newRow("near the left edge only")
            << QPoint(50, 700) << QRect(0, 0, 1920, 1080) << QPoint(0, 600);
        QTest::newRow("second screen's corner")
            << QPoint(1950, 20) << QRect(1920, 0, 1280, 1024) << QPoint(1920, 0);
    }

    void placement() {
        QFETCH(QPoint, mouse);
        QFETCH(QRect, screen);
        QFETCH(QPoint, topLeft);
        QCOMPARE(dialogs::placeAtMouse(mouse, QSize(200, 100), screen), topLeft);
    }

    void pickersOpenAtTheMouse() {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QPoint mouse = screen.center();
        QCursor::setPos(mouse);
        if (QCursor::pos() != mouse) {
            QSKIP("this platform does not let the test move the mouse");
        }
        TfrmSelectFileType types;
        QCOMPARE(types.frameGeometry().bottomRight() + QPoint(1, 1), mouse);
        TfrmSelectFileAttr attrs;
        QCOMPARE(attrs.frameGeometry().bottomRight() + QPoint(1, 1), mouse);

        QCursor::setPos(screen.topLeft() + QPoint(5, 5));
        TfrmSelectFileType cornered;
        QCOMPARE(cornered.pos(), screen.topLeft());
    }

    void okConfirmsAndCancelDoesNot() {
        TfrmSelectFileType types;
        child<QPushButton>(types, "btnOK")->click();
        QCOMPARE(types.result(), int(QDialog::Accepted));
        TfrmSelectFileAttr attrs;
        child<QPushButton>(attrs, "btnCancel")->click();
        QCOMPARE(attrs.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(PickerTest)
#include "PickerTest.moc"
