#include "ui/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QResizeEvent>

#include "app/AboutText.h"
#include "app/ColumnFit.h"
#include "app/ListCtrlEx.h"

namespace tarvik::ui {
namespace {

constexpr int kDefaultWidth = 1000;
constexpr int kDefaultHeight = 600;

QString Qs(const std::string& text) {
    return QString::fromStdString(text);
}

QKeySequence KeySequenceOf(const Accelerator& accelerator) {
    return QKeySequence(Qs(AcceleratorKeySequence(accelerator)));
}

}  // namespace

QIcon TarvikIcon() {
    QIcon icon;
    for (const char* name : {":/icons/tarvik-64.png", ":/icons/tarvik.svg"}) {
        if (QFile::exists(name)) icon.addFile(name);
    }
    return icon;
}

MainWindow::MainWindow(CNetworkTableModel& table, const CApplicationOptions& options,
                       QWidget* parent)
    : QMainWindow(parent),
      tableModel_(table),
      itemModel_(std::make_unique<NetworkItemModel>(table)) {
    setObjectName("mainWindow");
    setWindowTitle(kMainWindowCaption);
    setWindowIcon(TarvikIcon());

    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    statusLine_ = new StatusLineEdit(client);
    scanningButton_ = new QPushButton("Start Scanning", client);
    scanningButton_->setObjectName("scanningButton");
    chooser_ = new AdapterComboBox(client);
    table_ = new NetworkTableView(*itemModel_, options, client);
    table_->Columns().SetSectionName(kNetworkColumnSection);
    SetUpNetworkTableColumns(table_->Columns(), table_->FitMetrics());

    connect(scanningButton_, &QPushButton::clicked, this, [this] {
        if (controller_) controller_->ScanCycle().ToggleScanning();
    });
    chooser_->SetSelectionHandlers(
        [this] {
            if (controller_) controller_->OnAdapterSelectionChange();
        },
        [this] {
            if (controller_) controller_->OnAdapterSelectionConfirmed();
        });
    connect(table_, &NetworkTableView::RowDoubleClicked, this, [this] {
        if (controller_) controller_->OnTableDoubleClick();
    });
    connect(table_, &NetworkTableView::ContextMenuWanted, this, &MainWindow::ShowTableContextMenu);

    BuildMenuBar();
    client->installEventFilter(this);
    resize(kDefaultWidth, kDefaultHeight);
    PlaceControls(ComputeLayout(client->width(), client->height()));
}

MainWindow::~MainWindow() {
    // The Columns dialog works on the table's layout control: it goes first.
    delete columnsDialog_.data();
    RemoveTrayIcon();
}

void MainWindow::Bind(CMainDialog* controller) {
    controller_ = controller;
}

QAction* MainWindow::MenuAction(int id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

void MainWindow::BuildMenuBar() {
    for (const Menu& definition : MainMenuBar()) {
        QMenu* menu = menuBar()->addMenu(Qs(definition.title));
        menus_.push_back(menu);
        for (const MenuItem& item : definition.items) {
            if (item.IsSeparator()) {
                menu->addSeparator();
                continue;
            }
            QAction* action = AddAction(*menu, item);
            actions_[item.id] = action;
            if (item.accelerator.IsSet()) {
                action->setShortcut(KeySequenceOf(item.accelerator));
                // The accelerator table sees every key of the GUI thread,
                // also while a modeless dialog has the focus.
                action->setShortcutContext(Qt::ApplicationShortcut);
            }
        }
        // States are computed when the menu opens; between openings every
        // action stays enabled so its accelerator reaches RunCommand, which
        // asks for the state at that moment.
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenuStates(*menu); });
        connect(menu, &QMenu::aboutToHide, this, [menu] {
            for (QAction* action : menu->actions()) action->setEnabled(true);
        });
    }
}

QAction* MainWindow::AddAction(QMenu& menu, const MenuItem& item) {
    // A tab in the text separates the accelerator text, as Qt shows it.
    QAction* action = menu.addAction(Qs(item.text));
    action->setData(item.id);
    action->setCheckable(item.checkable);
    const int id = item.id;
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    return action;
}

void MainWindow::UpdateMenuStates(QMenu& menu) {
    if (!controller_) return;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) continue;
        const CommandState state = controller_->QueryCommandState(action->data().toInt());
        action->setEnabled(state.enabled);
        if (action->isCheckable()) action->setChecked(state.checked);
    }
}

void MainWindow::RunCommand(int id) {
    if (!controller_ || !controller_->QueryCommandState(id).enabled) return;
    controller_->ExecuteCommand(id);
}

void MainWindow::ShowTableContextMenu(const QPoint& globalPos) {
    if (!controller_ || !controller_->CanShowContextMenu()) return;
    QMenu menu(this);
    for (const MenuItem& item : TableContextMenu()) {
        if (item.IsSeparator()) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(Qs(item.text));
        action->setData(item.id);
        const CommandState state = controller_->QueryCommandState(item.id);
        action->setEnabled(state.enabled);
        action->setCheckable(item.checkable);
        action->setChecked(state.checked);
    }
    if (QAction* chosen = menu.exec(globalPos)) RunCommand(chosen->data().toInt());
}

void MainWindow::SetScanningButtonText(const std::string& text) {
    scanningButton_->setText(Qs(text));
}

void MainWindow::SetControlsEnabled(bool enabled) {
    chooser_->setEnabled(enabled);
    scanningButton_->setEnabled(enabled);
    table_->setEnabled(enabled);
}

void MainWindow::PlaceControls(const MainWindowLayout& layout) {
    const auto place = [](QWidget* widget, const ControlRect& rect) {
        widget->setGeometry(rect.x, rect.y, rect.width, rect.height);
    };
    place(statusLine_, layout.statusLine);
    place(scanningButton_, layout.scanningButton);
    place(chooser_, layout.adapterChooser);
    place(table_, layout.networkTable);
}

void MainWindow::ClientSize(int& width, int& height) const {
    width = centralWidget()->width();
    height = centralWidget()->height();
}

void MainWindow::AddAboutToSystemMenu(const std::string& text) {
    // Desktops here give programs no window menu of their own; the text is
    // kept and the Help menu's About item does the same.
    systemMenuAbout_ = Qs(text);
}

bool MainWindow::HasSystemTray() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::AddTrayIcon(const std::string& tooltip) {
    // Without a tray there is nothing to add to; the controller minimises
    // instead of hiding then.
    if (tray_ || !HasSystemTray()) return;
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(Qs(tooltip.substr(0, kTrayToolTipMaxLength)));
    trayMenu_ = std::make_unique<QMenu>();
    for (const MenuItem& item : TrayMenu()) {
        if (item.IsSeparator()) {
            trayMenu_->addSeparator();
            continue;
        }
        const int id = item.id;
        QAction* action = trayMenu_->addAction(Qs(item.text));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    }
    tray_->setContextMenu(trayMenu_.get());
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && controller_) {
                    controller_->OnTrayLeftClick();
                }
            });
    tray_->show();
}

void MainWindow::RemoveTrayIcon() {
    if (!tray_) return;
    tray_->hide();
    delete tray_;
    tray_ = nullptr;
    trayMenu_.reset();
}

void MainWindow::ShowNormalAndActivate() {
    showNormal();
    raise();
    activateWindow();
    table_->setFocus();
}

void MainWindow::HideWindow() {
    hide();
}

void MainWindow::MinimizeWindow() {
    showMinimized();
}

void MainWindow::EndDialog() {
    if (ended_) return;
    ending_ = true;
    close();
}

SaveAnswer MainWindow::AskSaveScanResults() {
    const auto answer =
        QMessageBox::question(this, "Save", "Save scan results?",
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes) return SaveAnswer::Yes;
    if (answer == QMessageBox::No) return SaveAnswer::No;
    return SaveAnswer::Cancel;
}

void MainWindow::ShowAboutDialog() {
    QMessageBox box(QMessageBox::NoIcon, kAboutCaption,
                    QString("Tarvik\n%1").arg(Qs(AboutVersionText())), QMessageBox::Ok, this);
    box.setIconPixmap(windowIcon().pixmap(48, 48));
    box.exec();
}

void MainWindow::ShowCreditsDialog() {
    QMessageBox box(QMessageBox::NoIcon, kCreditsCaption, Qs(CreditsText()), QMessageBox::Ok, this);
    box.exec();
}

void MainWindow::ShowColumnsDialog() {
    if (!columnsDialog_) columnsDialog_ = new ColumnsDialog(table_->Columns(), this);
    columnsDialog_->ShowAndRefresh();
}

void MainWindow::DestroyModelessDialogs() {
    // Only the Columns dialog exists in this build of the window.
    delete columnsDialog_.data();
}

void MainWindow::RestoreColumnLayout() {
    table_->Columns().RestoreLayout();
}

void MainWindow::SaveColumnLayout() {
    table_->Columns().SaveChangedLayout();
}

BssidRecord MainWindow::SelectedRecord() const {
    return table_->SelectedRecord();
}

bool MainWindow::OpenDocument(const std::string& path) {
    return QProcess::startDetached("xdg-open", {Qs(path)});
}

void MainWindow::SetTableGridLines(bool on) {
    table_->SetGridLines(on);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!ending_ && controller_ && !controller_->OnCloseRequest()) {
        event->ignore();
        return;
    }
    event->accept();
    ending_ = true;
    if (!ended_) {
        ended_ = true;
        emit Ended();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        const QSize size = static_cast<QResizeEvent*>(event)->size();
        if (controller_) {
            controller_->OnResize(size.width(), size.height());
        } else {
            PlaceControls(ComputeLayout(size.width(), size.height()));
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace tarvik::ui
