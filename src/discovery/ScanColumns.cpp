// Vendor and name column texts of the scan results.
#include "discovery/ScanColumns.h"

#include "probes/Lookups.h"

namespace lanwick {

std::string VendorColumnText(const char* pVendorTable, std::size_t nVendorTableSize, const std::string& strMac) {
    if (pVendorTable == nullptr || nVendorTableSize == 0)
        return {};
    if (strMac.find_first_not_of('0') == std::string::npos)
        return "n/a";
    return CapitalizeWords(LookupVendor(pVendorTable, nVendorTableSize, strMac.substr(0, 6)));
}

std::string NameColumnText(const std::optional<std::string>& name) {
    return name ? *name : std::string("n/a");
}

} // namespace lanwick
