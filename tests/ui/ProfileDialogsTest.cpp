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

void Type(QWidget* edit, const QString& text) {
    qobject_cast<QLineEdit*>(edit)->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Runs the Network Editor as the user would: `steps`, then "Save". Keeps
// every message box.
struct EditorUser : IProfileDialogs, IMessageBoxes {
    QStringList shown;
    std::function<void(NetworkEditorDialog&)> steps;
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
        shown << QString::fromStdString(caption + ": " + text);
    }
    bool RunAskForKey(CAskForKey&) override { return false; }
    bool RunNetworkEditor(CAddNetworkKey& editor) override {
        NetworkEditorDialog dialog(editor, this);
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
        EditorUser boxes;
        AskForKeyDialog dialog(prompt, &boxes);
        dialog.show();
        QVERIFY(dialog.RememberBox().isChecked() && dialog.RememberBox().isEnabled());

        QTest::keyClicks(&dialog.KeyEdit(), "zzzzzzzzzz");
        QTest::mouseClick(&dialog.OkButton(), Qt::LeftButton);
        QCOMPARE(boxes.shown, QStringList{"Hex Key: The WEP key you entered can only contain hex "
                                          "characters as it is 10 characters long."});
        Type(&dialog.KeyEdit(), "0123456789");
        QTest::mouseClick(&dialog.OkButton(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
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
            const QFontMetrics metrics(dialog.List().font());
            QVERIFY(dialog.List().horizontalHeader()->sectionSize(1) >=
                    metrics.horizontalAdvance("00:40:96:55:03:08"));

            user.steps = [](NetworkEditorDialog& editor) {
                QVERIFY(!editor.ValueEditor(PROP_NETWORK_KEY)->isEnabled());
                Type(editor.ValueEditor(PROP_NETWORK_SSID), "home");
                auto* type = qobject_cast<QComboBox*>(editor.ValueEditor(PROP_NETWORK_TYPE));
                type->setCurrentIndex(type->findText("WPA"));
                Type(editor.ValueEditor(PROP_NETWORK_KEY), "passphrase");
                QVERIFY(!editor.ValueEditor(PROP_KEY_TYPE)->isEnabled());
                editor.PropertyList().setCurrentItem(editor.Item(PROP_MATCH_BSSID));
                QVERIFY(editor.DescriptionLine().text().startsWith("When checked, the selected"));
                QCOMPARE(editor.Item(PROP_MATCH_BSSID)->parent(), editor.Item(PROP_AUTO_CONNECT));
            };
            QTest::mouseClick(&dialog.AddButton(), Qt::LeftButton);
            QCOMPARE(dialog.List().rowCount(), 1);
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
            QCOMPARE(dialog.List().item(0, 6)->text(), "5");

            dialog.List().selectRow(0);
            QTest::mouseClick(&dialog.RemoveButton(), Qt::LeftButton);
            QCOMPARE(dialog.List().rowCount(), 0);
        }
        QVERIFY(user.shown.isEmpty());
    }
};

}  // namespace tarvik::ui

QTEST_MAIN(tarvik::ui::ProfileDialogsTest)
#include "ProfileDialogsTest.moc"
