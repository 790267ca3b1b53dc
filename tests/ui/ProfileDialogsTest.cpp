// The three profile dialogs driven as a user drives them (typing, clicking)
// over their real controllers and a profile list in a temporary hive.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <functional>

#include "app/ManageKeys.h"
#include "app/ProfileDialogs.h"
#include "core/ApplicationOptions.h"
#include "networks/Bssid.h"
#include "profiles/ProfileList.h"
#include "tests/networks/BssidTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AskForKeyDialog.h"
#include "ui/NetworkEditorDialog.h"
#include "ui/ProfilesDialog.h"

namespace tarvik::ui {
namespace {

struct RecordedBoxes : IMessageBoxes {
    QStringList shown;
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
        shown << QString::fromStdString(caption + ": " + text);
    }
};

void Type(QWidget* widget, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(widget);
    QVERIFY(edit);
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Runs the Network Editor as the user would: `steps`, then "Save".
struct EditorUser : IProfileDialogs {
    RecordedBoxes boxes;
    std::function<void(NetworkEditorDialog&)> steps;
    bool RunAskForKey(CAskForKey&) override { return false; }
    bool RunNetworkEditor(CAddNetworkKey& editor) override {
        NetworkEditorDialog dialog(editor, &boxes);
        dialog.show();
        steps(dialog);
        QTest::mouseClick(&dialog.SaveButton(), Qt::LeftButton);
        return dialog.result() == QDialog::Accepted;
    }
    void RunNetworkProfiles(CManageKeys&) override {}
};

}  // namespace

class ProfileDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void keyPromptRefusesANonHexWepKeyThenTakesAHexOne() {
        ndis::BssidEntryFields fields = testing_support::Fields(1, -50, 1);
        fields.SetSsid("home");
        const CBssid wep(testing_support::Entry(fields), 0);
        CNetworkKey profile;
        CAskForKey prompt(wep, &profile, false, false);
        RecordedBoxes boxes;
        AskForKeyDialog dialog(prompt, &boxes);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), "Network Authentication");
        QVERIFY(dialog.RememberBox().isChecked() && dialog.RememberBox().isEnabled());

        QTest::keyClicks(&dialog.KeyEdit(), "zzzzzzzzzz");
        QTest::mouseClick(&dialog.OkButton(), Qt::LeftButton);
        QCOMPARE(boxes.shown, QStringList{"Hex Key: The WEP key you entered can only contain hex "
                                          "characters as it is 10 characters long."});
        QVERIFY(dialog.isVisible());
        Type(&dialog.KeyEdit(), "0123456789");
        QTest::mouseClick(&dialog.OkButton(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(profile.KeyText(), "0123456789");
        QCOMPARE(profile.keyLength, 5u);

        // A remembered network's key is shown, the caret after it.
        CAskForKey again(wep, nullptr, true, false);
        again.SetPresetProfile(&profile);
        AskForKeyDialog shown(again, &boxes);
        QCOMPARE(shown.KeyEdit().text(), "0123456789");
        QCOMPARE(shown.KeyEdit().cursorPosition(), 10);
        QVERIFY(!shown.RememberBox().isEnabled());
    }

    void profilesDialogAddsEditsAndRemovesThroughTheEditor() {
        testing::TemporaryHome home;
        CApplicationOptions options(nullptr, "/opt/tarvik/bin/tarvik");
        CProfileList list(options.UserHive(), options.ApplicationKey());
        EditorUser user;
        CManageKeys manager(list, user, options);
        {
            ProfilesDialog dialog(manager);
            dialog.show();
            QCOMPARE(dialog.windowTitle(), "Network Profiles");
            const QFontMetrics metrics(dialog.List().font());
            QVERIFY(dialog.List().horizontalHeader()->sectionSize(1) >=
                    metrics.horizontalAdvance("00:40:96:55:03:08"));

            user.steps = [](NetworkEditorDialog& editor) {
                QCOMPARE(editor.windowTitle(), "Network Editor");
                QVERIFY(!editor.ValueEditor(PROP_NETWORK_KEY)->isEnabled());
                Type(editor.ValueEditor(PROP_NETWORK_SSID), "home");
                auto* type = qobject_cast<QComboBox*>(editor.ValueEditor(PROP_NETWORK_TYPE));
                type->setCurrentIndex(type->findText("WPA"));
                Type(editor.ValueEditor(PROP_NETWORK_KEY), "passphrase");
                QCOMPARE(qobject_cast<QLineEdit*>(editor.ValueEditor(PROP_KEY_TYPE))->text(),
                         "ASCII");
                QVERIFY(!editor.ValueEditor(PROP_KEY_LENGTH)->isEnabled());
                editor.PropertyList().setCurrentItem(editor.Item(PROP_MATCH_BSSID));
                QVERIFY(editor.DescriptionLine().text().startsWith("When checked, the selected"));
                QCOMPARE(editor.Item(PROP_MATCH_BSSID)->parent(), editor.Item(PROP_AUTO_CONNECT));
            };
            QTest::mouseClick(&dialog.AddButton(), Qt::LeftButton);
            QCOMPARE(dialog.List().rowCount(), 1);
            QCOMPARE(dialog.List().item(0, 0)->text(), "home");
            QCOMPARE(dialog.List().item(0, 4)->text(), "WPA");

            user.steps = [](NetworkEditorDialog& editor) {
                qobject_cast<QSpinBox*>(editor.ValueEditor(PROP_PRIORITY))->setValue(5);
                qobject_cast<QCheckBox*>(editor.ValueEditor(PROP_AUTO_CONNECT))->setChecked(false);
                QVERIFY(!editor.ValueEditor(PROP_PRIORITY)->isEnabled());
            };
            const QRect cell = dialog.List().visualItemRect(dialog.List().item(0, 0));
            // The press selects the row, the double click edits it.
            QTest::mouseClick(dialog.List().viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(dialog.List().viewport(), Qt::LeftButton, {}, cell.center());
            QCOMPARE(dialog.List().item(0, 5)->text(), "No");
            QCOMPARE(dialog.List().item(0, 6)->text(), "5");
            QCOMPARE(list.At(0).priority, 5u);

            dialog.List().selectRow(0);
            QTest::mouseClick(&dialog.RemoveButton(), Qt::LeftButton);
            QCOMPARE(dialog.List().rowCount(), 0);
        }
        QVERIFY(user.boxes.shown.isEmpty());
        QVERIFY(options.UserHive().ReadValue(options.SectionKey("NetColumnData"), "Column Count"));
    }
};

}  // namespace tarvik::ui

QTEST_MAIN(tarvik::ui::ProfileDialogsTest)
#include "ProfileDialogsTest.moc"
