// Entity escaping and decoding for the machine file texts.
#include "registry/XmlText.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

namespace lanwick {

void AppendEscaped(std::string& strOut, const std::string& strText) {
    for (const char c : strText) {
        switch (c) {
        case '&':
            strOut += "&amp;";
            break;
        case '<':
            strOut += "&lt;";
            break;
        case '>':
            strOut += "&gt;";
            break;
        case '"':
            strOut += "&quot;";
            break;
        default:
            strOut += c;
            break;
        }
    }
}

std::string DecodeEntities(const std::string& strText) {
    if (strText.find('&') == std::string::npos)
        return strText;
    static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities{
        {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}}};
    std::string strOut;
    strOut.reserve(strText.size());
    const std::string_view text(strText);
    for (std::size_t i = 0; i < text.size();) {
        bool bDecoded = false;
        if (text[i] == '&') {
            for (const auto& [entity, c] : kEntities) {
                if (text.substr(i, entity.size()) == entity) {
                    strOut += c;
                    i += entity.size();
                    bDecoded = true;
                    break;
                }
            }
        }
        if (!bDecoded)
            strOut += text[i++];
    }
    return strOut;
}

} // namespace lanwick
