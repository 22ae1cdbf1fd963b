// Entity escaping of the texts in the machine file, so that names and groups holding the reader's delimiters
// ("</", "\">") read back whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lanwick {

// Appends strText with &, <, > and " written as entities.
void AppendEscaped(std::string& strOut, const std::string& strText);
// Decodes &amp; &lt; &gt; &quot; and &apos;; anything else, a lone '&' included, stays as it is. Stops once
// maxChars characters are decoded.
std::string DecodeEntities(std::string_view text, std::size_t maxChars = std::string::npos);

} // namespace lanwick
