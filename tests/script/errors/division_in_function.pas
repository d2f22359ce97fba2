// attendu: 2 (7:19)
// Division par zéro dans une fonction : la position est celle de l'opérateur
// dans la fonction, pas celle de l'appel.
program division_in_function;
function Moyenne(total, nombre: Integer): Integer;
begin
  Result := total div nombre;
end;

begin
  showmessage(IntToStr(Moyenne(10, 2)));
  showmessage(IntToStr(Moyenne(10, 0)));
end.
