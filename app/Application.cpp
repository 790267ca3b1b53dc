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

CMainDialog& CApplication::CreateMainDialog(IMainWindowView& view, IMainLoop& loop,
                                            IAdapterCombo& adapterCombo,
                                            IStatusLineSink* statusLine) {
    return CreateMainDialog(MainWindowSeams{view, loop, model_, rules_, adapterCombo, statusLine},
                            true);
}

CMainDialog& CApplication::CreateMainDialog(const MainWindowSeams& seams) {
    return CreateMainDialog(seams, false);
}

CMainDialog& CApplication::CreateMainDialog(const MainWindowSeams& seams, bool ownRules) {
    if (dialog_) return *dialog_;
    dialog_ = std::make_unique<CMainDialog>(MainDialogParts{
        .view = seams.view,
        .loop = seams.loop,
        .options = *options_,
        .networks = networks_,
        .table = seams.table,
        .columns = seams.columns,
        .adapterCombo = seams.adapterCombo,
        .adapterAddresses = ownRules ? std::function<void(std::vector<std::string>)>(
                                           [this](std::vector<std::string> addresses) {
                                               rules_.SetAddresses(std::move(addresses));
                                           })
                                     : nullptr,
    });
    statusLine_ = seams.statusLine;
    if (statusLine_) SetStatusLineSink(statusLine_);
    return *dialog_;
}

}  // namespace tarvik
