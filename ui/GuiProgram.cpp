#include "ui/GuiProgram.h"

#include "platform/SingleInstance.h"
#include "ui/GpsOutputDialog.h"

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
    profileDialogs_ = std::make_unique<QtProfileDialogs>(window_.get());
    fileDialogs_ = std::make_unique<QtScanFileDialogs>(window_.get());
    progress_ = std::make_unique<QtProgressDisplay>(window_.get());
    messages_ = std::make_unique<QtMessageBoxes>(window_.get());
    graphs_ = std::make_unique<QtSignalGraphFactory>();
    // Rules of this kind also get the chosen adapter's addresses.
    // The GPS Output dialog belongs to the window.
    auto gpsOutput = [window = window_.get()]() -> std::unique_ptr<IGpsOutputView> {
        return std::make_unique<GpsOutputWindow>(window);
    };
    dialog_ = &application_->CreateMainDialog(MainWindowSeams{
        *window_, *loop_, *table_, *rules_, window_->AdapterChooser(), &window_->StatusLine(),
        profileDialogs_.get(), claim_.get(), fileDialogs_.get(), progress_.get(), messages_.get(),
        gpsOutput, graphs_.get()});
    window_->Bind(dialog_);
    loop_->SetTickHandler([this](int id) { dialog_->OnTimer(id); });
}

GuiProgram::~GuiProgram() {
    // Waiting senders return and queued work is dropped before anything goes.
    loop_->Close();
    window_->Bind(nullptr);
    application_.reset();
}

bool GuiProgram::Start() {
    // Shown first, so the client area has its size when the controls are
    // laid out during initialisation.
    window_->show();
    return dialog_->Initialize();
}

}  // namespace tarvik::ui
