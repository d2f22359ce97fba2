-- Nested loops over a 1000 x 1000 two-dimensional array of integers (same work as loops.pas;
-- Lua's tables are indexed from 1, the values are those of indices 0..999).
local a = {}
for i = 0, 999 do
  local row = {}
  a[i + 1] = row
  for j = 0, 999 do
    row[j + 1] = i * j % 7
  end
end
local sum = 0
for i = 0, 999 do
  for j = 0, 999 do
    sum = sum + a[i + 1][j + 1]
  end
end
print("sum " .. sum)
