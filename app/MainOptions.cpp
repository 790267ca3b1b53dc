// View, Options...: the dialog works on the live record; each accepted
// change is in force and saved before the dialog closes.
#include "app/MainDialog.h"
#include "app/MainOptionEffects.h"
#include "app/OptionsEditor.h"

namespace tarvik {

void CMainDialog::ShowOptionsDialog() {
    CMainOptionEffects effects(*this, view_, networks_, gps_, *optionsView_);
    COptionsEditor editor(options_, effects);
    optionsView_->RunOptionsDialog(editor);
}

}  // namespace tarvik
