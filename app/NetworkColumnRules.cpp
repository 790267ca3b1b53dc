#include "app/NetworkColumnRules.h"

#include <utility>

namespace tarvik {

CNetworkColumnRules::CNetworkColumnRules(const CApplicationOptions& options,
                                         const CNetworkList& networks)
    : options_(options), networks_(networks) {}

void CNetworkColumnRules::SetAddresses(std::vector<std::string> addresses) {
    addresses_ = std::move(addresses);
}

ColumnContext CNetworkColumnRules::Context() const {
    return ColumnContext{options_, networks_.ScanCounter(), addresses_, vendors_};
}

std::string CNetworkColumnRules::ColumnText(CBssid& record, int column) {
    return tarvik::ColumnText(record, column, Context());
}

int CNetworkColumnRules::CompareRecords(CBssid& a, CBssid& b) {
    return tarvik::CompareRecords(a, b, sort_, Context());
}

}  // namespace tarvik
