// Fuzzes the machine file reader from memory: any text must load without crash or hang, and whatever it loads
// must write out and read back to the same text, whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "registry/MachineList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string strText(reinterpret_cast<const char*>(data), size);
    lanwick::CMachineList list;
    list.LoadFromText(strText);

    // Written texts are escaped, so reading what was written gives the same records, and so the same text.
    const std::string strSaved = list.SaveToText();
    lanwick::CMachineList copy;
    copy.LoadFromText(strSaved);
    if (copy.SaveToText() != strSaved)
        std::abort();
    // What the writer writes is a machine file by its layout, and nothing of it is left unread.
    if (!lanwick::IsMachineFileText(strSaved) || !copy.LastLoad().Lossless())
        std::abort();
    return 0;
}
