local function counter(start, ...)
  local n = start
  return function(step) n = n + (step or arg.n) return n end
end
function obj:method(a, b) self.v = a .. b; return self end
local c = counter(10, "a", "b")
if c(1) > 5 then c = nil elseif c then c = 2 else c = [[long
string]] end
for k = 10, 1, -3 do local s = string.format("%d", k) end
return c
