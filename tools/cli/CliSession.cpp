#include "tools/cli/CliSession.h"

#include <csignal>
#include <cstdio>

#include "core/ApplicationOptions.h"
#include "core/ExecutablePath.h"
#include "platform/SingleInstance.h"
#include "platform/driverio/DriverSocketPath.h"
#include "tools/cli/TextTable.h"

namespace tarvik::cli {
namespace {

volatile std::sig_atomic_t gStopRequested = 0;

extern "C" void OnStopSignal(int) {
    gStopRequested = 1;
}

}  // namespace

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // Once only: the shut-down waits on the driver, and a second Ctrl-C must
    // still end a program whose driver no longer answers.
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() {
    return gStopRequested != 0;
}

void CStatusPrinter::ShowStatusText(const std::string& text) {
    std::fprintf(to_, "%s\n", PrintableText(text).c_str());
    std::fflush(to_);
}

CCliSession::CCliSession(IStatusLineSink& status)
    : status_(status),
      claim_(DefaultInstanceFolder(), "tarvik-cli"),
      application_(std::make_unique<CApplication>(
          std::make_unique<CApplicationOptions>(nullptr, ExecutablePath(), kApplicationName))),
      rules_(application_->Options(), application_->Networks()),
      table_(rules_) {
    SetStatusLineSink(&status_);
}

CCliSession::~CCliSession() {
    Finish();
    dialog_.reset();
    SetStatusLineSink(nullptr);
}

std::string CCliSession::Start() {
    dialog_ = std::make_unique<CMainDialog>(MainDialogParts{
        .view = view_,
        .loop = loop_,
        .options = application_->Options(),
        .networks = application_->Networks(),
        .table = table_,
        .columns = rules_,
        .adapterCombo = combo_,
        .scanFiles = files_.get(),
        .connection = &application_->Connection(),
        .autoConnectProfiles = &application_->Profiles(),
        .adapterAddresses =
            [this](std::vector<std::string> texts) { rules_.SetAddresses(std::move(texts)); },
        .adapterClaim = &claim_,
        .importDefaultsOnFirstLaunch = false,
        .gps = gps_.get(),
    });
    if (files_) files_->SetScanCycle(&dialog_->ScanCycle());
    application_->AttachConnection(*dialog_, loop_);
    loop_.SetTickHandler([this](int id) { dialog_->OnTimer(id); });
    if (!dialog_->Initialize()) {
        return "no driver answers at " + driverio::UserSocketPath() +
               "; start tarvik-driverd first.";
    }
    if (dialog_->ChosenAdapter() == nullptr) return "the driver has no network adapter.";
    return dialog_->AdapterRefusal();
}

CScanFileCommands& CCliSession::UseScanFiles(IScanFileDialogs& dialogs, IProgressDisplay& progress,
                                             IMessageBoxes& messages) {
    files_ = std::make_unique<CScanFileCommands>(ScanFileCommandParts{
        .networks = application_->Networks(),
        .loop = loop_,
        .dialogs = dialogs,
        .progress = progress,
        .messages = messages,
        .clock = nullptr,
    });
    return *files_;
}

CGpsIntegration& CCliSession::UseGps() {
    gps_ = std::make_unique<CGpsIntegration>(GpsIntegrationParts{
        .loop = loop_,
        .options = application_->Options(),
        .networks = application_->Networks(),
        .createOutputView = nullptr,
        .clock = nullptr,
    });
    return *gps_;
}

void CCliSession::Finish() {
    if (finished_ || !dialog_) return;
    finished_ = true;
    loop_.Close();
    dialog_->RunShutDown();
}

}  // namespace tarvik::cli
