// The vendor table built into the program: the IEEE MA-L registry in lines "XXXXXX,Name\r\n", read-only.
#pragma once

#include <cstddef>

namespace lanwick {

// Start of the table; hand it to LookupVendor with VendorTableSize(). Not NUL-terminated.
const char* VendorTableData();
// Exact size of the table in bytes.
std::size_t VendorTableSize();

} // namespace lanwick
