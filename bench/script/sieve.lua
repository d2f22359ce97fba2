-- Array and loops: sieve of Eratosthenes up to 2 000 000 (same algorithm as sieve.pas).
local limit = 2000000
local composite = {}
for i = 0, limit do
  composite[i] = false
end
local n = 0
for i = 2, limit do
  if not composite[i] then
    n = n + 1
    if i <= limit // i then
      local j = i * i
      while j <= limit do
        composite[j] = true
        j = j + i
      end
    end
  end
end
print("primes <= 2000000: " .. n)
