// View > Channel View and its one-second refresh on timer 7.
#include "app/ChannelHills.h"
#include "app/MainDialog.h"

namespace tarvik {

void CMainDialog::ShowChannelView() {
    if (!channelViewFactory_) return;
    if (!channelView_) channelView_ = channelViewFactory_->CreateChannelView();
    if (!channelView_) return;
    channelView_->ShowChannels();
    RefreshChannelView();
}

void CMainDialog::RefreshChannelView() {
    if (!channelView_ || !channelView_->IsChannelsShown()) return;
    const BssidRecord selected = view_.SelectedRecord();
    channelView_->SetHills(HillsOf(networks_, selected.get(), options_));
}

}  // namespace tarvik
