// Texts of the vendor and name columns of a found address, kept apart from the dialog so that the sweep
// tests and the dialog show the same thing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace lanwick {

// Empty without a vendor table; "n/a" for a MAC of zeros only (no ARP answer); otherwise the capitalised name
// the table gives for the first six digits.
std::string VendorColumnText(const char* pVendorTable, std::size_t nVendorTableSize, const std::string& strMac);

// The name found, or "n/a" when the lookup gave none.
std::string NameColumnText(const std::optional<std::string>& name);

} // namespace lanwick
