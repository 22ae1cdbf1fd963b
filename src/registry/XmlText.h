// Entity escaping of the texts in the machine file, so that names and groups holding the reader's delimiters
// ("</", "\">") read back whole.
#pragma once

#include <string>

namespace lanwick {

// Appends strText with &, <, > and " written as entities.
void AppendEscaped(std::string& strOut, const std::string& strText);
// Decodes &amp; &lt; &gt; &quot; and &apos;; anything else, a lone '&' included, stays as it is.
std::string DecodeEntities(const std::string& strText);

} // namespace lanwick
