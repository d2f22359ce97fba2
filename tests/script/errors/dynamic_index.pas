// attendu: 2 (10:13)
// Indice hors des bornes d'un tableau dynamique (lecture) : position du « [ ».
program dynamic_index;
var
  d: array of Integer;
  s: Integer;
begin
  SetLength(d, 3);
  s := 0;
  s := s + d[3];
  showmessage(IntToStr(s));
end.
