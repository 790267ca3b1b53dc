#include "app/Application.h"

#include "core/EventLog.h"

namespace tarvik {

CApplication::CApplication() : CApplication(std::make_unique<CApplicationOptions>()) {}

CApplication::CApplication(std::unique_ptr<CApplicationOptions> options)
    : options_(std::move(options)) {
    InstallLogAsStoreErrorSink();
    SetLogSettings(options_.get());
}

CApplication::~CApplication() {
    if (statusLine_) SetStatusLineSink(nullptr);
    dialog_.reset();
    ClearLogSettings(options_.get());
}

CMainDialog& CApplication::CreateMainDialog(const MainWindowSeams& seams) {
    if (dialog_) return *dialog_;
    dialog_ = std::make_unique<CMainDialog>(MainDialogParts{
        .view = seams.view,
        .loop = seams.loop,
        .options = *options_,
        .networks = networks_,
        .table = seams.table,
        .columns = seams.columns,
        .adapterCombo = seams.adapterCombo,
    });
    statusLine_ = seams.statusLine;
    if (statusLine_) SetStatusLineSink(statusLine_);
    return *dialog_;
}

}  // namespace tarvik
