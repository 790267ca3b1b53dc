#include "ui/GuiProgram.h"

#include <QHeaderView>

#include "platform/SingleInstance.h"
#include "ui/DeviceInfoDialog.h"
#include "ui/GpsOutputDialog.h"
#include "ui/NetworkFiltersDialog.h"

namespace tarvik::ui {

GuiProgram::GuiProgram() {
    application_ = std::make_unique<CApplication>();
    loop_ = std::make_unique<QtMainLoop>();
    // tarvik-cli is refused an adapter this window has chosen, and the other way round.
    claim_ = std::make_unique<CAdapterClaim>(DefaultInstanceFolder(), "tarvik");
    rules_ =
        std::make_unique<CNetworkColumnRules>(application_->Options(), application_->Networks());
    table_ = std::make_unique<CNetworkTableModel>(*rules_);
    window_ = std::make_unique<MainWindow>(*table_, application_->Options());
    CreateWebRequests();
    profileDialogs_ = std::make_unique<QtProfileDialogs>(window_.get());
    fileDialogs_ = std::make_unique<QtScanFileDialogs>(window_.get());
    progress_ = std::make_unique<QtProgressDisplay>(window_.get());
    messages_ = std::make_unique<QtMessageBoxes>(window_.get());
    optionsDialogs_ = std::make_unique<QtOptionsDialogs>(window_.get());
    graphs_ = std::make_unique<QtSignalGraphFactory>();
    channelViews_ = std::make_unique<QtChannelViewFactory>();
    // Rules of this kind also get the chosen adapter's addresses.
    // The GPS Output dialog belongs to the window.
    auto gpsOutput = [window = window_.get()]() -> std::unique_ptr<IGpsOutputView> {
        return std::make_unique<GpsOutputWindow>(window);
    };
    // So does the Device Information page.
    auto deviceInfo = [window = window_.get()](std::function<void()> closed) {
        return std::unique_ptr<IDeviceInfoView>(new DeviceInfoWindow(window, std::move(closed)));
    };
    auto filterDialog =
        [window = window_.get()](CResultFilters& filters) -> std::unique_ptr<IFilterDialogView> {
        return std::make_unique<NetworkFiltersWindow>(filters, window);
    };
    dialog_ = &application_->CreateMainDialog(MainWindowSeams{
        *window_, *loop_, *table_, *rules_, window_->AdapterChooser(), &window_->StatusLine(),
        profileDialogs_.get(), claim_.get(), fileDialogs_.get(), progress_.get(), messages_.get(),
        gpsOutput, deviceInfo, optionsDialogs_.get(), web_.get(),
        [this] { return VisibleColumns(); }, filterDialog, graphs_.get(), channelViews_.get()});
    window_->Bind(dialog_);
    AttachColouring();
    loop_->SetTickHandler([this](int id) { dialog_->OnTimer(id); });
}

// The vendor table loads on a worker; the Vendor cell's link asks the server.
void GuiProgram::CreateWebRequests() {
    web_ = std::make_unique<CWebRequests>(*loop_, application_->Options(), rules_->Vendors());
    NetworkTableView& view = window_->Table();
    web_->SetVendorsChanged([&view] { view.viewport()->update(); });
    QObject::connect(&view, &NetworkTableView::VendorLinkClicked, &view,
                     [this](int row) { web_->LookUpVendor(table_->RecordAt(row)); });
    web_->LoadVendorTables(kIeeeDataFolder);
}

std::vector<int> GuiProgram::VisibleColumns() const {
    // Hidden columns are kept at width 0 as well as hidden.
    const QHeaderView& header = *window_->Table().horizontalHeader();
    std::vector<int> columns;
    for (int visual = 0; visual < header.count(); ++visual) {
        const int logical = header.logicalIndex(visual);
        if (!header.isSectionHidden(logical) && header.sectionSize(logical) > 0)
            columns.push_back(logical);
    }
    return columns;
}

GuiProgram::~GuiProgram() {
    // Waiting senders return and queued work is dropped before anything goes.
    loop_->Close();
    // Running requests are cancelled and their workers joined.
    web_.reset();
    window_->ItemModel().SetColouring(nullptr);
    window_->Bind(nullptr);
    application_.reset();
}

void GuiProgram::AttachColouring() {
    colouring_ = std::make_unique<CRowColouring>(application_->Options(), *rules_);
    colouring_->SetStateSource([dialog = dialog_] {
        return PaintState{.closing = dialog->IsClosing(),
                          .connecting = dialog->IsConnectionInProgress(),
                          .range = dialog->ScanCycle().RssiRange()};
    });
    window_->ItemModel().SetColouring(colouring_.get());
}

bool GuiProgram::Start() {
    // Shown first, so the client area has its size when the controls are
    // laid out during initialisation.
    window_->show();
    return dialog_->Initialize();
}

}  // namespace tarvik::ui
