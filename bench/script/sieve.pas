program sieve;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Tableau dynamique et boucles : crible d'Ératosthène jusqu'à 2 000 000.
const
  Limite = 2000000;

var
  compose: array of Boolean;
  i, j, n: Integer;
begin
  SetLength(compose, Limite + 1);
  n := 0;
  for i := 2 to Limite do
    if not compose[i] then
    begin
      Inc(n);
      if i <= Limite div i then
      begin
        j := i * i;
        while j <= Limite do
        begin
          compose[j] := True;
          j := j + i;
        end;
      end;
    end;
  showmessage('primes <= 2000000: ' + IntToStr(n));
end.
