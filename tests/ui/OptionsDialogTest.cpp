// The Options dialog driven as a user drives it (typing, ticking, clicking)
// over the real editor, a settings record in a temporary hive and recorded
// side effects.
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include "app/OptionsEditor.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/OptionsDialog.h"

namespace tarvik::ui {
namespace {

struct RecordedEffects : IOptionEffects {
    QStringList calls;
    void RefreshNetworkTable() override { calls << "RefreshNetworkTable"; }
    void RestartTimer(int id) override { calls << QStringLiteral("RestartTimer %1").arg(id); }
    void SetGridLines(bool on) override { calls << (on ? "GridLines on" : "GridLines off"); }
    void RepaintTable() override { calls << "RepaintTable"; }
    void ReopenGpsPort() override { calls << "ReopenGpsPort"; }
    void RestartDeviceInfoTimer() override { calls << "RestartDeviceInfoTimer"; }
};

struct Answer : IConfirmBoxes {
    bool yes = false;
    int asked = 0;
    bool AskYesNo(const std::string&, const std::string&, MessageIcon) override {
        ++asked;
        return yes;
    }
};

QLineEdit* NumberEdit(OptionsDialog& dialog, const char* label) {
    return dialog.Editor(label)->findChild<QLineEdit*>();
}

}  // namespace

// A settings record in a temporary hive, edited with recorded effects.
struct Rig {
    testing::TemporaryHome home;
    CApplicationOptions options{nullptr, "/opt/tarvik/bin/tarvik"};
    RecordedEffects effects;
    COptionsEditor editor{options, effects};
    Answer answer;
};

class OptionsDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void listsSixCategoriesWithIndentedRowsAndHelpForTheSelection() {
        Rig rig;
        OptionsDialog dialog(rig.editor, rig.answer);
        QStringList categories;
        for (int i = 0; i < dialog.List().topLevelItemCount(); ++i) {
            categories << dialog.List().topLevelItem(i)->text(0);
        }
        QCOMPARE(categories,
                 QStringList({"Scanning", "Display", "Connectivity", "GPS", "Saving", "System"}));
        QCOMPARE(dialog.Row("Interval For Removing")->parent(),
                 dialog.Row("Remove Undetected Stations"));
        dialog.List().setCurrentItem(dialog.Row("File Log Limit"));
        QCOMPARE(dialog.HelpPane().toPlainText(), "Maximum number of lines in the file log.");
        dialog.List().setCurrentItem(dialog.List().topLevelItem(0));
        QVERIFY(dialog.HelpPane().toPlainText().isEmpty());
        // The pane snaps to whole lines and hides below 19 pixels.
        const std::pair<int, int> snaps[] = {{18, 0}, {19, 19}, {40, 45}, {52, 58}};
        for (const auto& [dragged, snapped] : snaps) QCOMPARE(SnapHelpPaneHeight(dragged), snapped);
    }

    // 250 is refused and the old value comes back; 200 is taken at once.
    void refusedNumbersKeepTheOldValue() {
        Rig rig;
        OptionsDialog dialog(rig.editor, rig.answer);
        dialog.show();
        QLineEdit* edit = NumberEdit(dialog, "Soft Refresh Interval");
        for (const char* text : {"250", "2x", "200"}) {
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, text);
            QTest::keyClick(edit, Qt::Key_Return);
        }
        QCOMPARE(edit->text(), "200");
        QCOMPARE(int{rig.options.SoftRefreshInterval}, 200);
        QCOMPARE(rig.effects.calls, QStringList({"RestartTimer 1"}));
    }

    // Colouring off greys the seven colour rows; Restore Defaults asks, and
    // on Yes the list shows the defaults again.
    void switchesGreyDependantsAndRestoreDefaultsShowsTheDefaults() {
        Rig rig;
        OptionsDialog dialog(rig.editor, rig.answer);
        dialog.show();
        qobject_cast<QCheckBox*>(dialog.Editor("Network Coloring"))->click();
        QCOMPARE(rig.effects.calls, QStringList({"RepaintTable"}));
        QStringList greyed;
        for (QTreeWidgetItemIterator it(&dialog.List(), QTreeWidgetItemIterator::Disabled); *it;
             ++it) {
            greyed << (*it)->text(0);
            QVERIFY(!dialog.List().itemWidget(*it, 1)->isEnabled());
        }
        QCOMPARE(greyed,
                 QStringList({"Interval For Removing", "Remove From Memory", "Table Coloring Setup",
                              "Color for Open Networks", "Color for WEP Networks",
                              "Color for WPA Networks", "Color for WPA2 Networks",
                              "Undetected AP Text", "Color for Signal Strength"}));
        dialog.RestoreDefaultsButton().click();
        QCOMPARE(rig.answer.asked, 1);
        QVERIFY(!qobject_cast<QCheckBox*>(dialog.Editor("Network Coloring"))->isChecked());
        rig.answer.yes = true;
        dialog.RestoreDefaultsButton().click();
        QVERIFY(qobject_cast<QCheckBox*>(dialog.Editor("Network Coloring"))->isChecked());
        QVERIFY(!dialog.Row("Color for WEP Networks")->isDisabled());
        QCOMPARE(rig.effects.calls.size(), 1);
        dialog.CloseButton().click();
        QVERIFY(!dialog.isVisible());
    }
};

}  // namespace tarvik::ui

QTEST_MAIN(tarvik::ui::OptionsDialogTest)
#include "OptionsDialogTest.moc"
