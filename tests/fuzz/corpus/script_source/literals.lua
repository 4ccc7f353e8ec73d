x = L"wide" .. "\65\n" -- comment
--[[ block ]] y = 0x1F + 1e-3 z = { [1]=x; y, n = - - 3 }
