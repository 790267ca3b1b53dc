// The GUI as the program composes it, over tarvik-driverd serving three
// networks: the Qt wiring of what tests/app checks on the controller.
#include <pty.h>
#include <unistd.h>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineSeries>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/ColumnFit.h"
#include "app/CommandIds.h"
#include "gps/serial/PortName.h"
#include "networks/ColumnIds.h"
#include "platform/RegistryStore.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ChannelViewWindow.h"
#include "ui/DeviceInfoDialog.h"
#include "ui/GpsOutputDialog.h"
#include "ui/GuiProgram.h"
#include "ui/NetworkFiltersDialog.h"
#include "ui/OptionsDialog.h"

namespace tarvik::ui {
namespace {

QStringList HillNames(const ChannelViewWindow& view, WifiBand band) {
    QStringList names;
    for (const QAreaSeries* hill : view.ShownHills(band)) names << hill->name();
    return names;
}

QStringList ColumnTexts(const QAbstractItemModel& model, int column) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) {
        texts << model.index(row, column).data().toString();
    }
    return texts;
}

void ClickHeader(QHeaderView& header, int section) {
    const QPoint middle(header.sectionViewportPosition(section) + header.sectionSize(section) / 2,
                        header.height() / 2);
    QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, middle);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<testing::TemporaryHome> home_;
    std::unique_ptr<testing::DaemonProcess> daemon_;

    // A started program whose table shows the three networks.
    std::unique_ptr<GuiProgram> StartFilled() {
        auto program = std::make_unique<GuiProgram>();
        if (!program->Start()) return nullptr;
        QAbstractItemModel* model = program->Window().Table().model();
        if (!QTest::qWaitFor([&] { return model->rowCount() == 3; }, 10000)) return nullptr;
        return program;
    }

  private slots:
    void init() {
        home_ = std::make_unique<testing::TemporaryHome>();
        daemon_ = std::make_unique<testing::DaemonProcess>(
            testing::UiScenarioPath("three_networks.json"));
        QVERIFY(daemon_->ready());
    }

    void cleanup() {
        daemon_.reset();
        home_.reset();
    }

    void tableFillsWithTheScenarioNetworksAndHeaderClicksSort() {
        auto program = std::make_unique<GuiProgram>();
        NetworkTableView& table = program->Window().Table();
        QAbstractItemModelTester tester(table.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(program->Start());
        QTRY_COMPARE_WITH_TIMEOUT(table.model()->rowCount(), 3, 10000);

        // The selection follows its record through every re-sort.
        table.selectRow(ColumnTexts(*table.model(), COLUMN_SSID).indexOf("bravo"));
        ClickHeader(*table.horizontalHeader(), COLUMN_SSID);
        QCOMPARE(ColumnTexts(*table.model(), COLUMN_SSID),
                 (QStringList{"Alpha", "bravo", "charlie"}));
        ClickHeader(*table.horizontalHeader(), COLUMN_SSID);
        QCOMPARE(ColumnTexts(*table.model(), COLUMN_SSID),
                 (QStringList{"charlie", "bravo", "Alpha"}));
        // Signal: the strongest first.
        ClickHeader(*table.horizontalHeader(), COLUMN_SIGNAL);
        QCOMPARE(ColumnTexts(*table.model(), COLUMN_SSID),
                 (QStringList{"Alpha", "bravo", "charlie"}));
        QCOMPARE(table.SelectedRecord(), program->Table().RecordAt(1));
        // The one-second refresh keeps order and selection.
        QTest::qWait(1200);
        QCOMPARE(ColumnTexts(*table.model(), COLUMN_SSID),
                 (QStringList{"Alpha", "bravo", "charlie"}));
        QCOMPARE(table.selectionModel()->selectedRows().first().data().toString(),
                 QString("bravo"));

        program->Dialog().ExecuteCommand(ID_VIEW_CLEAR_ALL);
        QCOMPARE(table.model()->rowCount(), 0);
        QCOMPARE(table.verticalHeader()->count(), 0);
        QVERIFY(table.selectionModel()->selectedRows().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(table.model()->rowCount(), 3, 10000);
        QCOMPARE(table.verticalHeader()->count(), 3);
    }

    // The Vendor column: an IEEE-assigned OUI shows its owner from the offline
    // table; an unknown one is a dark-blue link whose click asks the server.
    void vendorCellsComeFromTheOfflineTableOrAClickedLookUp() {
        daemon_.reset();  // its end unsets the socket variable
        daemon_ = std::make_unique<testing::DaemonProcess>(testing::UiScenarioPath("vendors.json"));
        QVERIFY(daemon_->ready());
        testing_support::LoopbackHttpServer server([](const std::string&) {
            return testing_support::ContentLengthAnswer("Acme Radio\n");
        });
        auto program = std::make_unique<GuiProgram>();
        const CApplicationOptions& options = program->Application().Options();
        options.UserHive().WriteString(options.SectionKey("Settings"), "UpdateServer",
                                       server.Host());
        QVERIFY(program->Start());
        NetworkTableView& table = program->Window().Table();
        QTRY_COMPARE_WITH_TIMEOUT(table.model()->rowCount(), 2, 10000);
        auto vendorOf = [&](const QString& ssid) {
            const int row = ColumnTexts(*table.model(), COLUMN_SSID).indexOf(ssid);
            return table.model()->index(row, COLUMN_VENDOR);
        };
        QTRY_COMPARE_WITH_TIMEOUT(vendorOf("known").data().toString(),
                                  QString("Cisco-Linksys, LLC"), 30000);
        QVERIFY(vendorOf("known").data(Qt::ForegroundRole).value<QColor>() != QColor(0, 0, 0x82));
        const QModelIndex link = vendorOf("unknown");
        QCOMPARE(link.data().toString(), QString("Lookup OUI?"));
        QCOMPARE(link.data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 0x82));

        table.scrollTo(link);
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(link).center());
        QTRY_COMPARE_WITH_TIMEOUT(vendorOf("unknown").data().toString(), QString("Acme Radio"),
                                  10000);
        QCOMPARE(server.Targets(), std::vector<std::string>{"/reg/oui.py?025e10"});
        QCOMPARE(options.UserHive().ReadString(options.SectionKey("OUILookup"), "025e10", ""),
                 std::string("Acme Radio"));
    }

    // View > Apply Filters: the dialog filters the table and counts in its
    // title; rows are coloured by security through the model.
    void filtersDialogFiltersTheTableAndRowsAreColoured() {
        auto program = StartFilled();
        QVERIFY(program);
        MainWindow& window = program->Window();
        QAbstractItemModel& model = *window.Table().model();
        QCOMPARE(
            model.data(model.index(0, 0), Qt::BackgroundRole).value<QColor>(),
            program->Table().RecordAt(0)->IsWpa2() ? QColor(255, 229, 209) : QColor(229, 255, 229));
        emit window.Menus()[1]->aboutToShow();
        QVERIFY(window.MenuAction(ID_VIEW_FILTERS)->isEnabled());
        emit window.Menus()[1]->aboutToHide();
        window.MenuAction(ID_VIEW_FILTERS)->trigger();
        auto* dialog = window.findChild<NetworkFiltersDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QString("Network Filters 3:0:3"));
        QVERIFY(!dialog->Buttons(FILTER_SECURITY)[3]->isEnabled());
        QTest::mouseClick(&dialog->GroupCheck(FILTER_SECURITY), Qt::LeftButton, {},
                          QPoint(4, dialog->GroupCheck(FILTER_SECURITY).height() / 2));
        QVERIFY(dialog->Buttons(FILTER_SECURITY)[3]->isEnabled());
        QCOMPARE(model.rowCount(), 3);
        dialog->Buttons(FILTER_SECURITY)[3]->click();  // WPA2
        QCOMPARE(ColumnTexts(model, COLUMN_SSID), QStringList{"charlie"});
        QCOMPARE(dialog->windowTitle(), QString("Network Filters 1:2:3"));
        QCOMPARE(model.data(model.index(0, 0), Qt::BackgroundRole).value<QColor>(),
                 QColor(255, 229, 209));
        // Colouring off: the view's own background from the next repaint.
        program->Application().Options().ColoringEnabled = 0;
        QVERIFY(!model.data(model.index(0, 0), Qt::BackgroundRole).isValid());
    }

    // A run that ends before the restore (no driver) keeps the stored layout;
    // the stored grid-line setting holds from the start.
    void hiddenColumnSurvivesRestartsAlsoWithoutADriver() {
        const QByteArray socket = qgetenv("TARVIK_DRIVER_SOCKET");
        for (const bool driver : {true, false}) {
            if (!driver) qputenv("TARVIK_DRIVER_SOCKET", "/nonexistent/driver.sock");
            auto program = std::make_unique<GuiProgram>();
            QCOMPARE(program->Start(), driver);
            if (socket.isEmpty()) qunsetenv("TARVIK_DRIVER_SOCKET");
            if (!socket.isEmpty()) qputenv("TARVIK_DRIVER_SOCKET", socket);
            if (driver) {
                program->Dialog().ExecuteCommand(ID_VIEW_COLUMNS);
                QTreeWidgetItem* mac =
                    program->Window().Columns()->List().topLevelItem(COLUMN_MAC_ADDRESS);
                mac->setCheckState(0, Qt::Unchecked);
            }
            QSignalSpy ended(&program->Window(), &MainWindow::Ended);
            program->Dialog().ExecuteCommand(ID_FILE_EXIT);
            QTRY_COMPARE(ended.count(), 1);
        }
        auto program = std::make_unique<GuiProgram>();
        CApplicationOptions& options = program->Application().Options();
        QVERIFY(
            options.UserHive().WriteDword(options.SectionKey("Settings"), "ShowTableGridLines", 0));
        QVERIFY(program->Start());
        NetworkTableView& table = program->Window().Table();
        QVERIFY(!table.showGrid());
        QHeaderView& header = *table.horizontalHeader();
        QVERIFY(header.isSectionHidden(COLUMN_MAC_ADDRESS));
        QCOMPARE(header.logicalIndex(kNetworkColumnCount - 1), int(COLUMN_MAC_ADDRESS));
        program->Dialog().ExecuteCommand(ID_VIEW_COLUMNS);
        QTreeWidgetItem* mac = program->Window().Columns()->List().topLevelItem(COLUMN_MAC_ADDRESS);
        QCOMPARE(mac->checkState(0), Qt::Unchecked);
        // Shown again: its initial width, back at its place.
        mac->setCheckState(0, Qt::Checked);
        QVERIFY(!header.isSectionHidden(COLUMN_MAC_ADDRESS));
        QCOMPARE(header.sectionSize(COLUMN_MAC_ADDRESS),
                 table.Columns().InitialWidth(COLUMN_MAC_ADDRESS));
        QCOMPARE(header.visualIndex(COLUMN_MAC_ADDRESS), int(COLUMN_MAC_ADDRESS));
    }

    // At the desktop's font (not a smaller one), every title, every text of
    // the rows and the typical text of every column show uncut at first.
    void initialWidthsFitTextsAndTitlesAtTheDesktopFontAndDividersFitTexts() {
        auto program = StartFilled();
        QVERIFY(program);
        NetworkTableView& table = program->Window().Table();
        QCOMPARE(table.font(), QApplication::font(&table));
        const QHeaderView& header = *table.horizontalHeader();
        const QFontMetrics metrics(table.font());
        // The item delegate's text margins (focus frame margin + 1, each side).
        const int margins = 2 * (table.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        for (int column = 0; column < kNetworkColumnCount; ++column) {
            const int width = header.sectionSize(column);
            QVERIFY2(width >= header.sectionSizeHint(column), kNetworkColumns[column].title.data());
            const std::string_view typical = TypicalColumnText(column);
            QStringList texts = ColumnTexts(*table.model(), column);
            texts << QString::fromUtf8(typical.data(), static_cast<qsizetype>(typical.size()));
            for (const QString& text : texts) {
                QVERIFY2(metrics.horizontalAdvance(text) + margins <= width, qPrintable(text));
            }
        }
        // A divider double click sizes the column to its widest text + 12.
        int widest = 0;
        for (const QString& text : ColumnTexts(*table.model(), COLUMN_SSID)) {
            widest = std::max(widest, metrics.horizontalAdvance(text));
        }
        emit table.horizontalHeader()->sectionHandleDoubleClicked(COLUMN_SSID);
        QCOMPARE(header.sectionSize(COLUMN_SSID), widest + 12);
    }

    void controlsMenusAndAcceleratorsWorkAndClosingHidesUntilAnotherCopyAsks() {
        auto program = StartFilled();
        QVERIFY(program);
        MainWindow& window = program->Window();
        window.resize(700, 400);
        QTRY_VERIFY(window.centralWidget()->width() <= 700);
        const QSize client = window.centralWidget()->size();
        QCOMPARE(window.Table().geometry(),
                 QRect(10, 70, client.width() - 20, client.height() - 80));
        QCOMPARE(window.StatusLine().geometry(), QRect(10, 10, client.width() - 20, 20));
        // A document cannot be opened without xdg-open (the manual says so).
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", home_->Folder().c_str());
        QVERIFY(!window.OpenDocument(TARVIK_SOURCE_DIR "/share/doc/toc.html"));
        qputenv("PATH", path);
        // A command that does not apply now is greyed while the menu is open.
        emit window.Menus()[6]->aboutToShow();
        QVERIFY(!window.MenuAction(ID_GPS_DISCONNECT)->isEnabled());
        emit window.Menus()[6]->aboutToHide();
        QTest::keyClick(&window.Table(), Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(program->Dialog().ProgramMode(), 1);
        emit window.Menus()[2]->aboutToShow();
        QVERIFY(window.MenuAction(ID_MODE_HOPPING)->isChecked());
        QTest::keyClick(&window.Table(), Qt::Key_L, Qt::ControlModifier);
        QVERIFY(window.Columns() && window.Columns()->isVisible());
        // Accelerators also reach the window while the modeless dialog has the keys.
        QTest::keyClick(window.Columns(), Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(program->Dialog().ProgramMode(), 0);
        // Ctrl+N: the Network Profiles dialog, modal; closed from inside its loop.
        QString profiles;
        QTimer::singleShot(0, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->objectName() != "profilesDialog" || !widget->isModal()) continue;
                profiles = widget->windowTitle();
                widget->close();
            }
        });
        QTest::keyClick(&window.Table(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(profiles, "Network Profiles");
        // View > Options... (Ctrl+P): the Options dialog; grid lines switched off there reach the
        // table and the hive before it closes.
        QTimer::singleShot(0, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* options = qobject_cast<OptionsDialog*>(widget);
                if (!options || !options->isModal()) continue;
                qobject_cast<QCheckBox*>(options->Editor("Should Table Grid Lines"))->click();
                options->CloseButton().click();
            }
        });
        QCOMPARE(window.MenuAction(ID_VIEW_OPTIONS)->shortcut(), QKeySequence("Ctrl+P"));
        window.MenuAction(ID_VIEW_OPTIONS)->trigger();
        QVERIFY(!window.Table().showGrid());
        QCOMPARE(
            RegistryStore::CurrentUser().ReadDword(
                program->Application().Options().SectionKey("Settings"), "ShowTableGridLines", 7),
            0u);
        // Save without an open file: Save As, proposing the time as the name;
        // the saved file is the open one, named in the title.
        const std::string saved = (std::filesystem::path(home_->Folder()) / "survey.tvk").string();
        QString proposed;
        QTimer::singleShot(0, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(widget);
                if (!dialog || !dialog->isVisible()) continue;
                proposed = dialog->selectedFiles().value(0);
                dialog->selectFile(QString::fromStdString(saved));
                static_cast<QDialog*>(dialog)->accept();  // checks the name as OK does
            }
        });
        window.MenuAction(ID_FILE_SAVE)->trigger();
        QTRY_COMPARE(window.windowTitle(), QStringLiteral("Tarvik - survey.tvk"));
        QVERIFY2(
            QRegularExpression(R"(/\d\d-\d\d_\d\d-\d\d-\d\d\.tvk$)").match(proposed).hasMatch(),
            qPrintable(proposed));
        QVERIFY(std::filesystem::file_size(saved) >= 23);
        QVERIFY(program->Application().ScanFiles()->CloseFile(true));
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarvik"));
        QSignalSpy ended(&window, &MainWindow::Ended);
        // Minimise-to-tray is on by default (minimised without a tray): it runs on.
        window.close();
        QVERIFY(window.isMinimized() || !window.isVisible());
        QCOMPARE(ended.count(), 0);
        program->Dialog().ShowFromOtherInstance();
        QVERIFY(window.isVisible());
        QVERIFY(!window.isMinimized());
        program->Dialog().RequestExit();
        QTRY_COMPARE(ended.count(), 1);
        QVERIFY(!window.isVisible());
    }

    // Device > Device Information: the modeless page in its frames, filled;
    // closing hides it and stops its timer, the menu shows the same page again.
    void deviceInformationShowsThePageAndClosingStopsItsTimer() {
        auto program = StartFilled();
        QVERIFY(program);
        program->Window().MenuAction(ID_DEVICE_INFORMATION)->trigger();
        DeviceInfoDialog* page = program->Window().findChild<DeviceInfoDialog*>();
        QVERIFY(page && page->isVisible());
        QCOMPARE(page->windowTitle(), QStringLiteral("Device Information"));
        QCOMPARE(page->findChildren<QGroupBox*>().size(), 5);
        QCOMPARE(page->Field(1016)->text(), QStringLiteral("Desk Card"));
        QVERIFY(page->Field(1016)->isReadOnly());
        QVERIFY(program->Loop().IsTimerActive(TIMER_DEVICE_INFO));
        page->close();
        QVERIFY(!page->isVisible());
        QVERIFY(!program->Loop().IsTimerActive(TIMER_DEVICE_INFO));
        page->Field(1016)->clear();
        program->Window().MenuAction(ID_DEVICE_INFORMATION)->trigger();
        QCOMPARE(program->Window().findChildren<DeviceInfoDialog*>().size(), 1);
        QVERIFY(page->isVisible());
        QCOMPARE(page->Field(1016)->text(), QStringLiteral("Desk Card"));
        QTest::keyClick(page, Qt::Key_Escape);
        QVERIFY(!page->isVisible());
        QVERIFY(!program->Loop().IsTimerActive(TIMER_DEVICE_INFO));
    }

    // View > Channel View: the scenario's 2.4 GHz networks as hills, the
    // selected one drawn last with the thicker border; the one-second tick
    // follows a new selection by redrawing the same series.
    void channelViewPlotsTheNetworksAndFollowsTheSelection() {
        auto program = StartFilled();
        QVERIFY(program);
        NetworkTableView& table = program->Window().Table();
        table.selectRow(ColumnTexts(*table.model(), COLUMN_SSID).indexOf("bravo"));
        program->Window().MenuAction(ID_VIEW_CHANNELS)->trigger();
        ChannelViewWindow* view = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<ChannelViewWindow*>(widget)) view = found;
        }
        QVERIFY(view && view->isVisible());
        QCOMPARE(HillNames(*view, WifiBand::Band24GHz), (QStringList{"Alpha", "charlie", "bravo"}));
        QVERIFY(HillNames(*view, WifiBand::Band5GHz).isEmpty());
        const QAreaSeries& bravo = *view->ShownHills(WifiBand::Band24GHz).back();
        QCOMPARE(bravo.upperSeries()->points(),
                 (QList<QPointF>{{4, -100}, {5, -60}, {7, -60}, {8, -100}}));
        QCOMPARE(view->ShownLabels(WifiBand::Band24GHz),
                 (QStringList{"Alpha", "charlie", "bravo"}));
        QCOMPARE(view->ShownHills(WifiBand::Band24GHz).front()->pen().widthF(), 1.0);
        QVERIFY(bravo.pen().widthF() > 1.0);

        table.selectRow(ColumnTexts(*table.model(), COLUMN_SSID).indexOf("Alpha"));
        QTRY_COMPARE_WITH_TIMEOUT(HillNames(*view, WifiBand::Band24GHz).back(), QString("Alpha"),
                                  5000);
        QCOMPARE(view->Chart(WifiBand::Band24GHz).series().size(), 3);
    }

    // File > Export...: the format chooser, then the file dialog, answered as
    // they come up; the table's CSV holds the shown columns in their order.
    void fileExportWritesTheTableAsShown() {
        auto program = StartFilled();
        QVERIFY(program);
        QHeaderView& header = *program->Window().Table().horizontalHeader();
        for (int column = 0; column < header.count(); ++column)
            header.setSectionHidden(column, column != COLUMN_SSID && column != COLUMN_CHANNEL);
        header.moveSection(header.visualIndex(COLUMN_CHANNEL), 0);
        const std::filesystem::path path = home_->Folder() / "table.csv";
        int answered = 0;
        QString proposed;
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                proposed = files->selectedFiles().value(0);
                files->selectFile(QString::fromStdString(path.string()));
                QMetaObject::invokeMethod(files, "accept");
                ++answered;
            } else if (auto* combo = modal ? modal->findChild<QComboBox*>() : nullptr) {
                combo->setCurrentIndex(combo->findText("CSV of the table", Qt::MatchStartsWith));
                static_cast<QDialog*>(modal)->accept();
                ++answered;
            }
        });
        answerer.start(50);
        program->Window().MenuAction(ID_FILE_EXPORT)->trigger();
        answerer.stop();
        QCOMPARE(answered, 2);
        QVERIFY2(proposed.endsWith("/survey-table.csv"), qPrintable(proposed));
        std::ifstream file(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);) lines.push_back(line);
        QCOMPARE(lines.size(), std::size_t{4});
        QCOMPARE(lines[0], std::string("Channel,Ssid\r"));
        QVERIFY(std::ranges::any_of(
            lines, [](const std::string& line) { return line.ends_with(",bravo\r"); }));
        QTRY_VERIFY(program->Window().StatusLine().text().contains(" 3 networks written to "));
    }

    // GPS Tester on a receiver replayed into a pseudo-terminal mapped as COM3.
    void gpsTesterShowsTheReplayedReceiver() {
        int device = -1;
        int port = -1;
        QCOMPARE(::openpty(&device, &port, nullptr, nullptr, nullptr), 0);
        QVERIFY(RegistryStore::CurrentUser().WriteString(kSerialPortsKey, "COM3", ::ttyname(port)));
        auto program = std::make_unique<GuiProgram>();
        QVERIFY(program->Start());
        MainWindow& window = program->Window();
        window.MenuAction(ID_GPS_CONNECT)->trigger();
        window.MenuAction(ID_GPS_TESTER)->trigger();
        auto* dialog = window.findChild<GpsOutputDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->Latitude().text(), "Not Available");
        std::ifstream log(TARVIK_TESTDATA_DIR "/nmea/logs/garmin48/garmin48.log");
        std::string sentences;
        for (std::string line; std::getline(log, line) && sentences.size() < 600;) {
            if (line.starts_with('$')) sentences += line + "\r\n";
        }
        QCOMPARE(::write(device, sentences.data(), sentences.size()),
                 static_cast<ssize_t>(sentences.size()));
        QTRY_COMPARE(dialog->Status().text(), "Connected to gps with 3d fix.");
        QVERIFY(dialog->Latitude().text().contains("45"));
        QVERIFY(dialog->Longitude().text().contains("167"));
        QVERIFY(dialog->Sentences().toPlainText().contains("$GPGGA,225308,4527.458,S"));
        program.reset();
        ::close(port);
        ::close(device);
    }
};

}  // namespace tarvik::ui

QTEST_MAIN(tarvik::ui::MainWindowTest)
#include "MainWindowTest.moc"
