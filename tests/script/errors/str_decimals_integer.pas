// attendu: 1 (7:14)
// Des décimales demandées à Str pour un entier : refusé à la compilation, comme Free Pascal.
program str_decimals_integer;
var take: Integer;
    s: string;
begin
  Str(take:3:2, s);
  showmessage(s);
end.
