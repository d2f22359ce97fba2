// attendu: 1 (11:24)
// Mauvais nombre d'arguments : position du nom de la routine appelée.
program wrong_argument_count;

function Somme(a, b: Integer): Integer;
begin
  Result := a + b;
end;

begin
  showmessage(IntToStr(Somme(1, 2, 3)));
end.
