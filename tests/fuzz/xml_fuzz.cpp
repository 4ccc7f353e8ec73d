// Fuzz target: the XML reader and writer and the string-table scanner over arbitrary bytes.
#include "platform/strings/string_table.h"
#include "platform/config/xml.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    auto length = static_cast<uint32_t>(size);
    TXmlNode document;
    document.ParseBuffer(text, length);
    document.ToString();
    TStringTable table;
    table.LoadBuffer(text, length);
    return 0;
}
