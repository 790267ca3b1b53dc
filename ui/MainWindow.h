// The main window: status line, scanning button, adapter chooser and network
// table placed by the controller's layout rule, the menu bar and the table's
// context menu built from the menu definitions, the tray icon and the About,
// Credits and Columns dialogs. A thin view: every decision is the
// controller's (CMainDialog), which it reaches through Bind().
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <map>
#include <memory>
#include <vector>

#include "app/MainDialog.h"
#include "app/MainWindowView.h"
#include "app/MenuDefinition.h"
#include "ui/AdapterComboBox.h"
#include "ui/ColumnsDialog.h"
#include "ui/NetworkItemModel.h"
#include "ui/NetworkTableView.h"
#include "ui/StatusLineEdit.h"

class QAction;
class QMenu;

namespace tarvik::ui {

class MainWindow : public QMainWindow, public IMainWindowView {
    Q_OBJECT
  public:
    // `table` and `options` must outlive the window. The columns are set up
    // here; their stored layout is restored when the controller asks.
    MainWindow(CNetworkTableModel& table, const CApplicationOptions& options,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // The controller that handles this window's input (nullptr: none).
    void Bind(CMainDialog* controller);

    AdapterComboBox& AdapterChooser() { return *chooser_; }
    StatusLineEdit& StatusLine() { return *statusLine_; }
    NetworkTableView& Table() { return *table_; }
    NetworkItemModel& ItemModel() { return *itemModel_; }
    QPushButton& ScanningButton() { return *scanningButton_; }
    ColumnsDialog* Columns() { return columnsDialog_; }
    // The action of command `id` in the menu bar; nullptr when none.
    QAction* MenuAction(int id) const;
    // Every menu of the menu bar in order.
    const std::vector<QMenu*>& Menus() const { return menus_; }
    const QString& SystemMenuAboutText() const { return systemMenuAbout_; }
    bool HasEnded() const { return ended_; }

    // IScanningButton
    void SetScanningButtonText(const std::string& text) override;
    // IMainWindowView
    void SetControlsEnabled(bool enabled) override;
    void PlaceControls(const MainWindowLayout& layout) override;
    void ClientSize(int& width, int& height) const override;
    void AddAboutToSystemMenu(const std::string& text) override;
    bool HasSystemTray() const override;
    void AddTrayIcon(const std::string& tooltip) override;
    void RemoveTrayIcon() override;
    void ShowNormalAndActivate() override;
    void HideWindow() override;
    void MinimizeWindow() override;
    void EndDialog() override;
    SaveAnswer AskSaveScanResults() override;
    void ShowAboutDialog() override;
    void ShowCreditsDialog() override;
    void ShowColumnsDialog() override;
    void DestroyModelessDialogs() override;
    void SetTableGridLines(bool on) override;
    void RestoreColumnLayout() override;
    void SaveColumnLayout() override;
    BssidRecord SelectedRecord() const override;
    bool OpenDocument(const std::string& path) override;

  signals:
    // The window has ended (EndDialog, or a close the controller let
    // through); the program ends with it.
    void Ended();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildMenuBar();
    QAction* AddAction(QMenu& menu, const MenuItem& item);
    void UpdateMenuStates(QMenu& menu);
    void RunCommand(int id);
    void ShowTableContextMenu(const QPoint& globalPos);

    CNetworkTableModel& tableModel_;
    CMainDialog* controller_ = nullptr;
    std::unique_ptr<NetworkItemModel> itemModel_;
    StatusLineEdit* statusLine_ = nullptr;
    QPushButton* scanningButton_ = nullptr;
    AdapterComboBox* chooser_ = nullptr;
    NetworkTableView* table_ = nullptr;
    QPointer<ColumnsDialog> columnsDialog_;
    QSystemTrayIcon* tray_ = nullptr;
    std::unique_ptr<QMenu> trayMenu_;
    std::vector<QMenu*> menus_;
    std::map<int, QAction*> actions_;
    QString systemMenuAbout_;
    bool ending_ = false;
    bool ended_ = false;
};

// The program's icon, from the bundled resources.
QIcon TarvikIcon();

}  // namespace tarvik::ui
