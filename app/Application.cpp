#include "app/Application.h"

#include "core/EventLog.h"

namespace tarvik {

CApplication::CApplication() : CApplication(std::make_unique<CApplicationOptions>()) {}

CApplication::CApplication(std::unique_ptr<CApplicationOptions> options)
    : options_(std::move(options)),
      profiles_(options_->UserHive(), options_->ApplicationKey()),
      bridge_([this](const ndis::MacAddress& bssid) -> std::optional<ndis::BssidEntry> {
          auto found = networks_.LookUpByMac(bssid);
          if (!found) return std::nullopt;
          return std::move(found->entry);
      }),
      connection_(std::make_unique<CConnectionProcedure>(*options_)) {
    connection_->SetSupplicantBridge(&bridge_);
    InstallLogAsStoreErrorSink();
    SetLogSettings(options_.get());
}

CApplication::~CApplication() {
    if (statusLine_) SetStatusLineSink(nullptr);
    // A running attempt reports to the controller: it ends first.
    connection_->EndAttempts();
    dialog_.reset();
    gps_.reset();
    resultFilters_.reset();
    profileCommands_.reset();
    ClearLogSettings(options_.get());
}

CMainDialog& CApplication::CreateMainDialog(const MainWindowSeams& seams) {
    if (dialog_) return *dialog_;
    // Column rules of the table's own kind name the adapter's addresses in
    // the status column; other rules have no use for them.
    std::function<void(std::vector<std::string>)> addresses = nullptr;
    if (auto* rules = dynamic_cast<CNetworkColumnRules*>(&seams.columns)) {
        addresses = [rules](std::vector<std::string> texts) {
            rules->SetAddresses(std::move(texts));
        };
    }
    if (seams.profileDialogs) {
        profileCommands_ = std::make_unique<CProfileCommands>(
            profiles_, *seams.profileDialogs, *options_,
            [this] { return dialog_ && dialog_->ChosenAdapter() != nullptr; });
    }
    if (seams.scanFileDialogs && seams.progress && seams.messages) {
        scanFiles_ = std::make_unique<CScanFileCommands>(ScanFileCommandParts{
            .networks = networks_,
            .loop = seams.loop,
            .dialogs = *seams.scanFileDialogs,
            .progress = *seams.progress,
            .messages = *seams.messages,
            .clock = nullptr,
        });
        exports_ = std::make_unique<CExportCommands>(ExportCommandParts{
            .networks = networks_,
            .columns = seams.columns,
            .dialogs = *seams.scanFileDialogs,
            .progress = *seams.progress,
            .messages = *seams.messages,
            .visibleColumns = seams.visibleColumns,
        });
        scanFiles_->SetExportCommands(exports_.get());
    }
    gps_ = std::make_unique<CGpsIntegration>(GpsIntegrationParts{
        .loop = seams.loop,
        .options = *options_,
        .networks = networks_,
        .createOutputView = seams.gpsOutput,
        .clock = nullptr,
    });
    resultFilters_ =
        std::make_unique<CResultFilters>(filter_, networks_, seams.table, seams.filterDialog);
    dialog_ = std::make_unique<CMainDialog>(MainDialogParts{
        .view = seams.view,
        .loop = seams.loop,
        .options = *options_,
        .networks = networks_,
        .table = seams.table,
        .columns = seams.columns,
        .adapterCombo = seams.adapterCombo,
        .scanFiles = scanFiles_.get(),
        .connection = connection_.get(),
        .profiles = profileCommands_.get(),
        .adapterAddresses = std::move(addresses),
        .adapterClaim = seams.adapterClaim,
        .gps = gps_.get(),
        .deviceInfoView = seams.deviceInfo,
        .optionsView = seams.optionsDialog,
        .web = seams.web,
        .filters = resultFilters_.get(),
        .signalGraphs = seams.signalGraphs,
        .channelViews = seams.channelViews,
    });
    if (scanFiles_) scanFiles_->SetScanCycle(&dialog_->ScanCycle());
    AttachConnection(*dialog_, seams.loop);
    // The key prompt of a protected network without a profile.
    if (profileCommands_) connection_->SetKeySource(profileCommands_.get());
    statusLine_ = seams.statusLine;
    if (statusLine_) SetStatusLineSink(statusLine_);
    return *dialog_;
}

void CApplication::AttachConnection(CMainDialog& dialog, IMainLoop& loop) {
    // The chosen wireless adapter's receive thread hands EAPOL frames to the bridge.
    dialog.Adapters().SetSelectedHook([this](CAdapter& adapter) {
        adapter.StartReceive([this](CAdapter& receiver, std::span<const std::uint8_t> frame) {
            bridge_.HandleEapol(receiver, frame);
        });
    });
    connection_->Attach(&dialog, &loop);
}

}  // namespace tarvik
