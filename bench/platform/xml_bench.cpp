// Reading large documents: one text node of many words and a string table of rows without data
// cells, at two sizes each. The time per byte must stay flat as the document grows (the complexity
// line reads O(N)); the 4 MB case against the 1 MB one is the ratio to watch.
#include "platform/strings/string_table.h"
#include "platform/config/xml.h"

#include <benchmark/benchmark.h>

#include <string>

static void XmlLongText(benchmark::State& state)
{
    const size_t bytes = static_cast<size_t>(state.range(0));
    std::string document = "<settings><note>";
    while (document.size() < bytes)
        document += "word ";
    document += "</note></settings>";
    for (auto _ : state)
    {
        TXmlNode root;
        root.ParseBuffer(document.data(), static_cast<uint32_t>(document.size()));
        benchmark::DoNotOptimize(root.GetChildCount());
    }
    state.SetComplexityN(static_cast<int64_t>(bytes));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(XmlLongText)->Arg(1 << 20)->Arg(4 << 20)->Complexity(benchmark::oN);

static void StringTableRowsWithoutData(benchmark::State& state)
{
    const size_t bytes = static_cast<size_t>(state.range(0));
    std::string document = "<Workbook><Table>";
    while (document.size() < bytes)
        document += "<Row><Cell></Cell></Row>";
    document += "<Row><Cell><Data>last</Data></Cell><Cell><Data>row</Data></Cell></Row>";
    document += "</Table></Workbook>";
    for (auto _ : state)
    {
        TStringTable table;
        table.LoadBuffer(document.data(), static_cast<uint32_t>(document.size()));
        benchmark::DoNotOptimize(table.GetString("last").c_str());
    }
    state.SetComplexityN(static_cast<int64_t>(bytes));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(StringTableRowsWithoutData)->Arg(1 << 20)->Arg(4 << 20)->Complexity(benchmark::oN);
