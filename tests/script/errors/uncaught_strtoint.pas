// attendu: 2 (8:8)
// StrToInt sur un texte qui n'est pas un entier, sans try : position du nom StrToInt.
program uncaught_strtoint;
var
  n: Integer;
begin
  showmessage('avant');
  n := StrToInt('x');
  showmessage(IntToStr(n));
end.
