-- Strings: 200 000 characters appended one at a time, then scanned with sub and find
-- (same algorithm as strings.pas). The string is built with plain `..` concatenation,
-- one character at a time, like the Pascal program, not with table.concat.
local length, chunk = 200000, 1000
local s = ""
local x = 1
for _ = 1, length do
  x = (x * 75 + 74) % 65537
  s = s .. string.char(string.byte("a") + x % 4)
end
local found = 0
for i = 1, #s - 2 do
  if s:sub(i, i + 2) == "abc" then
    found = found + 1
  end
end
local sum = 0
for i = 0, #s // chunk - 1 do
  local m = s:sub(i * chunk + 1, i * chunk + chunk)
  sum = sum + (m:find("dcbadc", 1, true) or 0)
end
print("length " .. #s .. ", abc " .. found .. ", pos sum " .. sum)
