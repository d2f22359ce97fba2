-- Small calls repeated a million times (same algorithm as calls.pas): a function of two
-- integers, a procedure with a var parameter (here it returns the new value), a function taking
-- and returning a string, a nested function changing a variable of the enclosing one.
local rounds = 1000000

local function mix(a, b)
  return (a * 31 + b) % 10007
end

local function advance(x, step)
  x = x + step
  if x >= 1000 then
    x = x - 1000
  end
  return x
end

local function mark(s, n)
  if n % 2 == 0 then
    return s
  end
  return "x"
end

local function nestedSum(n)
  local total = 0
  local function add(v)
    total = total + v % 7
  end
  for i = 1, n do
    add(i)
  end
  return total
end

local h = 0
for i = 1, rounds do
  h = mix(h, i)
end
local x = 0
for i = 1, rounds do
  x = advance(x, i % 13)
end
local word = "abc"
local length = 0
for i = 1, rounds do
  length = length + #mark(word, i)
end
print("mix " .. h .. ", var " .. x .. ", string " .. length .. ", nested " .. nestedSum(rounds))
