#include "adapter/DriverAnswerBound.h"

#include "core/StatusLine.h"

namespace tarvik {

bool CDriverAnswerBound::ReportIfNotAnswering() const {
    if (!deadline_.Expired()) return false;
    SetStatusText(kDriverNotAnsweringText);
    return true;
}

}  // namespace tarvik
