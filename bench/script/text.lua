-- String routines (same algorithm as text.pas): 200 000 lines built with tostring and
-- concatenation, then cut and compared (trim, find, sub, upper, lower, tonumber).
local lines = 200000

local function trim(s)
  return s:match("^%s*(.*%S)") or ""
end

local total, rising, items, sum = 0, 0, 0, 0
local previous = ""
for i = 1, lines do
  local line = "  Item " .. tostring(i * 7 % 1000) .. " : Valeur " .. tostring(i) .. "  "
  line = trim(line)
  local head = line:sub(1, 4):upper()
  if head == "ITEM" then
    items = items + 1
  end
  local n = line:find(":", 1, true) or 0
  local word = line:sub(n + 2, n + 1 + #line):lower()
  if word > previous then
    rising = rising + 1
  end
  previous = word
  sum = (sum * 31 + n * tonumber(line:sub(6, n - 2))) % 1000003
  total = total + #head + #word
end
print("lines " .. lines .. ", items " .. items .. ", rising " .. rising .. ", sum " .. sum ..
  ", chars " .. total)
