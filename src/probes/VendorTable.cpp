// The vendor table's bytes come from resources/vendors.txt, turned into an array at build time.
#include "probes/VendorTable.h"

namespace lanwick {
namespace detail {
extern const unsigned char kVendorTable[];
extern const std::size_t kVendorTableCount;
} // namespace detail

const char* VendorTableData() {
    return reinterpret_cast<const char*>(detail::kVendorTable);
}
std::size_t VendorTableSize() {
    return detail::kVendorTableCount;
}

} // namespace lanwick
